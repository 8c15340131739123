// wavorax-cli: batch conversion from a terminal, with the settings of the desktop program.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <thread>
#include <unordered_set>

extern "C" {
#include <libavutil/log.h>
}

#include "app/SettingsStore.h"
#include "app/Translations.h"
#include "base/Paths.h"
#include "cli/CliOptions.h"
#include "cli/Reporter.h"
#include "decoders/audiolib/AudioLib.h"
#include "decoders/choice/DecoderChoice.h"
#include "engine/Conversion.h"
#include "engine/LibraryBatch.h"
#include "engine/OutputPath.h"
#include "engine/Targets.h"
#include "sources/Adding.h"
#include "sources/SourceList.h"

using namespace wavorax;
using i18n::Fill;
using i18n::translate;

namespace {

std::atomic<bool> gCancel{false};

extern "C" void OnInterrupt(int) { gCancel.store(true); }

// Adding on a terminal: "Adding file %d of %d..." on one rewritten line of stderr, and
// Ctrl+C as the Cancel button.
class AddingProgress final : public IAddProgress {
 public:
  explicit AddingProgress(bool tty) : tty_(tty) {}
  void SetText(const std::string& text) override {
    if (!tty_) return;
    std::fprintf(stderr, "\r\033[K%s", i18n::EngineTextUtf8(text).c_str());
    std::fflush(stderr);
    shown_ = true;
  }
  void SetRange(int) override {}
  void Step() override {}
  bool CancelRequested() override { return gCancel.load(); }
  void PumpMessages() override {}
  // Clears the progress line before anything else is printed.
  void Done() {
    if (shown_) std::fputs("\r\033[K", stderr);
    shown_ = false;
  }

 private:
  bool tty_;
  bool shown_ = false;
};

// The sources of --files-from: separated by NUL characters when the list holds any (as
// find -print0 writes them, so that a name may hold a line feed), else one per line.
bool ReadFileList(const std::string& from, std::vector<std::string>& sources) {
  std::string text;
  if (from == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), {});
  } else {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) return false;
  }
  const char separator = text.find('\0') != std::string::npos ? '\0' : '\n';
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    std::string name = text.substr(start, end - start);
    // Lists written on other systems end their lines in CR LF.
    if (separator == '\n' && !name.empty() && name.back() == '\r') name.pop_back();
    if (!name.empty()) sources.push_back(std::move(name));
    start = end + 1;
  }
  return true;
}

// --dry-run: what each row's conversion would do with its output, in batch order, so that an
// output an earlier row would write counts as existing for the later ones. True when every
// row would convert.
// With a sync, each row shows its decision, and a row to convert takes the sync's name.
bool ReportPlans(const ConversionSettings& settings, const CSourceList& list, cli::IReporter& out,
                 const SyncSession* sync) {
  std::unordered_set<std::string> planned;
  bool all = true;
  for (int r = 0; r < list.RowCount(); ++r) {
    const std::string& source = list.Entry(r).path;
    ResolveRules rules;
    rules.produced = [&](const std::string& p) {
      return planned.count(NormalisedAbsolute(p)) != 0;
    };
    const library::SyncItem* item = sync ? sync->Item(source) : nullptr;
    if (item && item->action != library::SyncAction::Convert) {
      OutputPlan plan;
      plan.action = item->action == library::SyncAction::UpToDate ? PlannedAction::UpToDate
                                                                  : PlannedAction::Failed;
      if (plan.action == PlannedAction::UpToDate) plan.path = sync->Base() + item->output;
      plan.outcome = library::SyncReasonText(item->reason);
      if (plan.action == PlannedAction::Failed) all = false;
      out.Plan(r, source, plan);
      continue;
    }
    if (item) {
      rules.relative = item->output;
      rules.refresh = [&](const std::string& p) { return sync->Refreshes(*item, p); };
    }
    const OutputPlan plan = PlanOutputPath(settings, source, rules);
    if (!plan.path.empty())
      planned.insert(NormalisedAbsolute(plan.path));
    else
      all = false;
    out.Plan(r, source, plan);
  }
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  // The language of the human texts follows the locale; --json stays English.
  i18n::LoadTranslations();
  cli::Options options;
  std::string error;
  if (!cli::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "wavorax-cli: %s\n%s\n", error.c_str(),
                 translate("Cli", "Try 'wavorax-cli --help'.").c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(cli::UsageText().c_str(), stdout);
    return 0;
  }
  std::string problem;
  if (!audiolib::CheckLibraryVersions(&problem)) {
    std::fprintf(stderr, "wavorax-cli: %s\n", problem.c_str());
    return 1;
  }
  // Process-wide limits of the codec libraries, set before any decoding thread starts.
  audiolib::ConfigureLibraries();
  // Decoding problems of a damaged file end in its Status line; the codec library's own
  // diagnostics would only scramble the terminal.
  av_log_set_level(AV_LOG_QUIET);

  // Ctrl+C works like the Cancel button from here on, and so do a kill and a closed terminal
  // or SSH session (SIGHUP): the running files lose their partial outputs. A reader of the
  // standard output that goes away (| head) shows as a failed write, which cancels too.
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  ConversionSettings settings;
  {
    auto store = options.settingsFile.empty()
                     ? std::make_unique<CSettingsStore>()
                     : std::make_unique<CSettingsStore>(options.settingsFile);
    store->LoadSettings(settings);
  }
  for (const auto& a : options.assignments) cli::ApplyAssignment(settings, a, error);
  // A pattern from the stored settings is checked as one from the command line is.
  if (settings.DestOutputFolderOpt == kFolderPattern) {
    const std::string reason = library::ValidatePattern(settings.NamePattern);
    if (!reason.empty() || settings.NamePatternBase.empty()) {
      std::fprintf(stderr, "wavorax-cli: %s\n",
                   reason.empty()
                       ? translate("Cli", "the naming pattern has no base folder").c_str()
                       : i18n::EngineTextUtf8(reason).c_str());
      return 2;
    }
  }
  if (settings.SyncOutputs && LibraryBaseFolder(settings).empty()) {
    std::fprintf(
        stderr, "wavorax-cli: %s\n",
        translate("Cli", "--sync needs an output folder (-o DIR or --name-pattern)").c_str());
    return 2;
  }
  if (!options.filesFrom.empty() && !ReadFileList(options.filesFrom, options.sources)) {
    std::fprintf(
        stderr, "wavorax-cli: %s\n",
        Fill(translate("Cli", "cannot read the list %1"), {cli::OneLine(options.filesFrom)})
            .c_str());
    return 1;
  }

  // Files are taken whatever their extension, folders through the extension filter. The
  // scan and the probing both stop within a file of Ctrl+C.
  AddingProgress adding(!options.json && ::isatty(2));
  std::vector<std::string> collected;
  bool anyFailed = false;
  for (const auto& source : options.sources) {
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      const ScanOutcome scan = CollectFolder(settings, collected, source, &adding);
      for (const std::string& folder : scan.unreadable) {
        std::fprintf(
            stderr, "wavorax-cli: %s\n",
            Fill(translate("Cli", "cannot read the folder %1"), {cli::OneLine(folder)}).c_str());
        anyFailed = true;
      }
      if (scan.cancelled) break;
    } else {
      collected.push_back(source);
    }
  }
  if (gCancel.load()) return 130;

  const int jobs = options.jobs > 0
                       ? options.jobs
                       : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const std::unique_ptr<cli::IReporter> reporter =
      options.json ? cli::MakeJsonReporter() : cli::MakeTextReporter(::isatty(2));
  CSourceList list(OpenDecoderFor);
  const std::string failures = AddCollectedFiles(
      list, collected, &adding,
      [&](const std::string& path, CSourceList::AddResult r, int row) {
        if (r == CSourceList::AddResult::Added)
          reporter->RowAdded(list, row);
        else if (r == CSourceList::AddResult::Failed)
          reporter->LoadFailed(path);
        if (!reporter->OutputOk()) gCancel.store(true);
      },
      jobs);
  adding.Done();
  if (gCancel.load()) return 130;
  if (!failures.empty()) anyFailed = true;
  // Files that could not be loaded are reported after everything else.
  auto reportFailures = [&] {
    if (!failures.empty()) reporter->LoadFailures(FailureReport(failures));
  };
  if (collected.empty()) {
    std::fprintf(stderr, "%s\n", translate("Cli", "No files found.").c_str());
    return 1;
  }

  if (options.list) {
    reporter->Listing(list);
    reportFailures();
    return anyFailed ? 1 : 0;
  }

  // "Only convert what changed" decides for every row before anything converts.
  std::unique_ptr<SyncSession> sync;
  if (settings.SyncOutputs) {
    std::vector<std::string> sources;
    for (int r = 0; r < list.RowCount(); ++r) sources.push_back(list.Entry(r).path);
    sync = SyncSession::Open(settings, sources, options.dryRun, error);
    if (!sync) {
      std::fprintf(stderr, "wavorax-cli: %s\n", cli::OneLine(i18n::EngineTextUtf8(error)).c_str());
      return 1;
    }
  }
  const auto reportRemovals = [&](bool cancelled) {
    if (!sync) return;
    const SyncSession::Outcome outcome = sync->Finish(cancelled);
    for (const auto& removal : outcome.removals) reporter->Removed(removal);
    if (!outcome.error.empty()) {
      std::fprintf(stderr, "wavorax-cli: %s\n",
                   cli::OneLine(i18n::EngineTextUtf8(outcome.error)).c_str());
      anyFailed = true;
    }
  };

  if (options.dryRun) {
    if (!ReportPlans(settings, list, *reporter, sync.get())) anyFailed = true;
    reportRemovals(false);
    // Nothing is decoded: the loudness line says what a run would measure and apply.
    if (settings.ReplayGainMode != 0 || settings.NormaliseLoudness != 0) {
      const double target = settings.NormaliseTarget;
      reporter->LoudnessPlan(settings.ReplayGainMode,
                             settings.NormaliseLoudness != 0 ? &target : nullptr);
    }
    reportFailures();
    return anyFailed ? 1 : 0;
  }

  const int count = list.RowCount();
  std::vector<SourceEntry*> entries;
  for (int r = 0; r < count; ++r) entries.push_back(&list.Entry(r));

  const TargetInfo* target = FindTarget(Targets(), settings.OutputFormat);
  if (!target) target = FindTarget(Targets(), kTargetMp3);
  const BatchContext batch{settings, *target, OpenDecoderFor, sync.get()};
  BatchEvents events;
  // Standard output that cannot be written any more (its reader went away) stops the batch.
  const auto checkOutput = [&] {
    if (!reporter->OutputOk()) gCancel.store(true);
  };
  events.onStart = [&](int i, const SourceEntry& e) {
    reporter->Started(i, count, e);
    checkOutput();
  };
  events.onProgress = [&](int i, int percent) {
    reporter->Progressed(i, *entries[i], percent);
    checkOutput();
  };
  events.onFinish = [&](int i, const RowResult& result) {
    // An output that the documents-folder retry placed is not where the user looks for it:
    // its whole path says where it went.
    const std::string status =
        result.converted && result.inDocuments ? entries[i]->outputPath : result.status;
    if (result.loudness) reporter->Measured(i, *result.loudness);
    reporter->Finished(i, *entries[i], status, result.converted);
    if (result.album) reporter->AlbumMeasured(*result.album);
    checkOutput();
  };
  events.onTimeLeft = [&](const std::string& text) { reporter->TimeLeft(text); };
  const BatchSummary summary = RunParallelBatch(batch, entries, jobs, gCancel, events);
  reporter->BatchEnded();
  reportRemovals(gCancel.load());
  reportFailures();
  if (gCancel.load()) return 130;
  return anyFailed || summary.notConverted > 0 || summary.notStarted > 0 ? 1 : 0;
}
