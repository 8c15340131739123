// wavorax-cli: batch conversion from a terminal, with the settings of the desktop program.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <set>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

#include "app/SettingsStore.h"
#include "base/Paths.h"
#include "cli/CliOptions.h"
#include "decoders/DecoderChoice.h"
#include "decoders/audiolib/AudioLib.h"
#include "engine/OutputPath.h"
#include "engine/ParallelBatch.h"
#include "sources/Adding.h"
#include "sources/SourceList.h"

using namespace wavorax;

namespace {

std::atomic<bool> gCancel{false};

extern "C" void OnInterrupt(int) { gCancel.store(true); }

// Length of a well-formed UTF-8 sequence at s[i] (1 to 4), or 0 when the byte there does not
// start one: overlong forms, surrogates and values beyond U+10FFFF are not well-formed.
std::size_t Utf8Length(const std::string& s, std::size_t i, char32_t* value = nullptr) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = at(i);
  std::size_t n;
  char32_t v, min;
  if (c < 0x80) {
    if (value) *value = c;
    return 1;
  }
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2, v = c & 0x1F, min = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3, v = c & 0x0F, min = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4, v = c & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (at(i + k) & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  if (value) *value = v;
  return n;
}

// A JSON string of UTF-8 text. A byte that is not part of well-formed UTF-8 (file names on
// Linux are bytes) is written as the escape \udcXX of its value XX, the lone low surrogate
// that Python's "surrogateescape" uses, so every line stays JSON and the exact name can be
// recovered; no well-formed text ever produces such an escape.
std::string JsonString(const std::string& s) {
  std::string out = "\"";
  char buf[8];
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = Utf8Length(s, i);
    if (n == 0) {
      std::snprintf(buf, sizeof buf, "\\udc%02x", c);
      out += buf;
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(s, i, n);
      i += n;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

// A text as one line of a terminal: control characters (a line feed in a file name) are
// shown as '?', so that a name cannot split its row or move the cursor.
std::string OneLine(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

bool IsWide(char32_t v) {
  // East Asian wide and full-width ranges, which take two terminal columns.
  return (v >= 0x1100 && v <= 0x115F) || (v >= 0x2E80 && v <= 0x303E) ||
         (v >= 0x3041 && v <= 0x33FF) || (v >= 0x3400 && v <= 0x4DBF) ||
         (v >= 0x4E00 && v <= 0x9FFF) || (v >= 0xA000 && v <= 0xA4CF) ||
         (v >= 0xAC00 && v <= 0xD7A3) || (v >= 0xF900 && v <= 0xFAFF) ||
         (v >= 0xFE30 && v <= 0xFE4F) || (v >= 0xFF00 && v <= 0xFF60) ||
         (v >= 0xFFE0 && v <= 0xFFE6) || (v >= 0x1F300 && v <= 0x1F64F) ||
         (v >= 0x1F900 && v <= 0x1F9FF) || (v >= 0x20000 && v <= 0x3FFFD);
}

bool IsCombining(char32_t v) {
  return (v >= 0x0300 && v <= 0x036F) || (v >= 0x1AB0 && v <= 0x1AFF) ||
         (v >= 0x1DC0 && v <= 0x1DFF) || (v >= 0x20D0 && v <= 0x20FF) ||
         (v >= 0xFE20 && v <= 0xFE2F) || v == 0x200B || v == 0x200D;
}

// Terminal columns that a one-line text takes: characters, not bytes. A byte that is not
// UTF-8 shows as one replacement character.
std::size_t DisplayWidth(const std::string& s) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < s.size();) {
    char32_t v = 0;
    const std::size_t n = Utf8Length(s, i, &v);
    if (n == 0) {
      ++width;
      ++i;
      continue;
    }
    width += IsCombining(v) ? 0 : IsWide(v) ? 2 : 1;
    i += n;
  }
  return width;
}

// Output shared by the worker threads: JSON lines, status lines and the progress line.
class Reporter {
 public:
  Reporter(bool json, int total) : json_(json), total_(total), tty_(::isatty(2) && !json) {}

  void Json(const std::string& object) {
    std::lock_guard lock(mutex_);
    std::fputs((object + "\n").c_str(), stdout);
    std::fflush(stdout);
  }

  void Progress(int index, const std::string& name, int percent) {
    if (!tty_) return;
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "\r\033[K[%d/%d] Converting %s...%d%%", index + 1, total_,
                 OneLine(name).c_str(), percent);
    std::fflush(stderr);
  }

  void Line(const std::string& text) {
    std::lock_guard lock(mutex_);
    if (tty_) std::fputs("\r\033[K", stderr);
    std::fputs((text + "\n").c_str(), stdout);
    std::fflush(stdout);
  }

  bool json() const { return json_; }

 private:
  std::mutex mutex_;
  bool json_;
  int total_;
  bool tty_;
};

// Adding on a terminal: "Adding file %d of %d..." on one rewritten line of stderr, and
// Ctrl+C as the Cancel button.
class AddingProgress final : public IAddProgress {
 public:
  explicit AddingProgress(bool tty) : tty_(tty) {}
  void SetText(const std::string& text) override {
    if (!tty_) return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
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

// The failure report with each listed path kept on its own line.
std::string OneLineReport(const std::string& report) {
  std::string out = report;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n') c = '?';
  return out;
}

std::string RowJson(const CSourceList& list, int row) {
  return std::string("{\"event\":\"row\",\"index\":") + std::to_string(row) +
         ",\"path\":" + JsonString(list.Entry(row).path) +
         ",\"file\":" + JsonString(list.Text(row, kColFile)) +
         ",\"length\":" + JsonString(list.Text(row, kColLength)) +
         ",\"bitRate\":" + JsonString(list.Text(row, kColBitRate)) +
         ",\"freq\":" + JsonString(list.Text(row, kColFreq)) +
         ",\"channels\":" + JsonString(list.Text(row, kColChannels)) + "}";
}

void PrintTable(const CSourceList& list) {
  static const char* const kTitles[] = {"File", "Length", "Bit Rate", "Freq.", "Channels"};
  std::size_t width[5];
  for (int c = 0; c < 5; ++c) {
    width[c] = std::string(kTitles[c]).size();
    for (int r = 0; r < list.RowCount(); ++r)
      width[c] = std::max(width[c], DisplayWidth(OneLine(list.Text(r, c))));
  }
  auto line = [&](auto cell) {
    std::string out;
    for (int c = 0; c < 5; ++c) {
      const std::string text = OneLine(cell(c));
      // File and Channels are left-aligned, the numbers right-aligned, as in the window.
      const std::string pad(width[c] - std::min(width[c], DisplayWidth(text)), ' ');
      out += (c == 0 || c == 4) ? text + pad : pad + text;
      if (c < 4) out += "  ";
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    std::puts(out.c_str());
  };
  line([&](int c) { return std::string(kTitles[c]); });
  for (int r = 0; r < list.RowCount(); ++r) line([&](int c) { return list.Text(r, c); });
}

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

const char* PlanWord(PlannedAction action) {
  switch (action) {
    case PlannedAction::New:
      return "new";
    case PlannedAction::Renamed:
      return "renamed";
    case PlannedAction::Overwrite:
      return "overwrite";
    case PlannedAction::Skipped:
      return "skipped";
    case PlannedAction::SameAsSource:
      return "refused";
    case PlannedAction::Failed:
      break;
  }
  return "failed";
}

// --dry-run: what each row's conversion would do with its output, in batch order, so that an
// output an earlier row would write counts as existing for the later ones. True when every
// row would convert.
bool PrintPlans(const ConversionSettings& settings, const CSourceList& list, Reporter& out) {
  std::set<std::string> planned;
  bool all = true;
  for (int r = 0; r < list.RowCount(); ++r) {
    const std::string& source = list.Entry(r).path;
    const OutputPlan plan = PlanOutputPath(settings, source, [&](const std::string& p) {
      return planned.count(NormalisedAbsolute(p)) != 0;
    });
    const bool converts = !plan.path.empty();
    if (converts)
      planned.insert(NormalisedAbsolute(plan.path));
    else
      all = false;
    if (out.json()) {
      out.Json("{\"event\":\"plan\",\"index\":" + std::to_string(r) +
               ",\"path\":" + JsonString(source) + ",\"action\":\"" + PlanWord(plan.action) +
               "\",\"output\":" + JsonString(plan.path) +
               ",\"status\":" + JsonString(converts ? FileNameOf(plan.path) : plan.outcome) + "}");
      continue;
    }
    std::string line = source + ": ";
    switch (plan.action) {
      case PlannedAction::New:
        line += "new " + plan.path;
        break;
      case PlannedAction::Renamed:
        line += "renamed to " + plan.path;
        break;
      case PlannedAction::Overwrite:
        line += "overwrite " + plan.path;
        break;
      case PlannedAction::Skipped:
        line += "skipped";
        break;
      case PlannedAction::SameAsSource:
        line += "refused as the source itself";
        break;
      case PlannedAction::Failed:
        line += plan.outcome;
        break;
    }
    out.Line(OneLine(line));
  }
  return all;
}

}  // namespace

int main(int argc, char** argv) {
  cli::Options options;
  std::string error;
  if (!cli::ParseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "wavorax-cli: %s\nTry 'wavorax-cli --help'.\n", error.c_str());
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

  // Ctrl+C works like the Cancel button from here on.
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);

  ConversionSettings settings;
  {
    auto store = options.settingsFile.empty()
                     ? std::make_unique<CSettingsStore>()
                     : std::make_unique<CSettingsStore>(options.settingsFile);
    store->LoadSettings(settings);
  }
  for (const auto& a : options.assignments) cli::ApplyAssignment(settings, a, error);
  if (!options.filesFrom.empty() && !ReadFileList(options.filesFrom, options.sources)) {
    std::fprintf(stderr, "wavorax-cli: cannot read the list %s\n",
                 OneLine(options.filesFrom).c_str());
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
        std::fprintf(stderr, "wavorax-cli: cannot read the folder %s\n", OneLine(folder).c_str());
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
  Reporter reporter(options.json, 0);
  CSourceList list(OpenDecoderFor);
  const std::string failures = AddCollectedFiles(
      list, collected, &adding,
      [&](const std::string& path, CSourceList::AddResult r, int row) {
        if (!options.json) return;
        if (r == CSourceList::AddResult::Added)
          reporter.Json(RowJson(list, row));
        else if (r == CSourceList::AddResult::Failed)
          reporter.Json("{\"event\":\"load_failure\",\"path\":" + JsonString(path) + "}");
      },
      jobs);
  adding.Done();
  if (gCancel.load()) return 130;
  if (!failures.empty()) anyFailed = true;
  // Files that could not be loaded are reported after everything else.
  auto reportFailures = [&] {
    if (!failures.empty() && !options.json)
      std::fprintf(stderr, "%s\n", OneLineReport(FailureReport(failures)).c_str());
  };
  if (collected.empty()) {
    std::fputs("No files found.\n", stderr);
    return 1;
  }

  if (options.list) {
    if (!options.json) PrintTable(list);
    std::fflush(stdout);
    reportFailures();
    return anyFailed ? 1 : 0;
  }

  if (options.dryRun) {
    Reporter plans(options.json, list.RowCount());
    if (!PrintPlans(settings, list, plans)) anyFailed = true;
    std::fflush(stdout);
    reportFailures();
    return anyFailed ? 1 : 0;
  }

  const int count = list.RowCount();
  std::vector<SourceEntry*> entries;
  for (int r = 0; r < count; ++r) entries.push_back(&list.Entry(r));

  Reporter progress(options.json, count);
  // Status lines come out in batch order, whichever file finishes first.
  std::mutex orderMutex;
  std::vector<std::string> finished(count);
  std::vector<bool> done(count, false);
  int printed = 0;
  BatchEvents events;
  events.onStart = [&](int i, const SourceEntry& e) {
    if (options.json)
      progress.Json("{\"event\":\"start\",\"index\":" + std::to_string(i) +
                    ",\"sequence\":" + std::to_string(i + 1) +
                    ",\"count\":" + std::to_string(count) + ",\"path\":" + JsonString(e.path) +
                    ",\"output\":" + JsonString(e.outputPath) + "}");
    else
      progress.Progress(i, FileNameOf(e.path), 0);
  };
  events.onProgress = [&](int i, int percent) {
    if (options.json)
      progress.Json("{\"event\":\"progress\",\"index\":" + std::to_string(i) +
                    ",\"percent\":" + std::to_string(percent) + "}");
    else
      progress.Progress(i, FileNameOf(entries[i]->path), percent);
  };
  events.onFinish = [&](int i, const std::string& status, bool converted) {
    if (options.json) {
      progress.Json("{\"event\":\"status\",\"index\":" + std::to_string(i) + ",\"path\":" +
                    JsonString(entries[i]->path) + ",\"status\":" + JsonString(status) +
                    ",\"converted\":" + (converted ? "true" : "false") +
                    ",\"output\":" + JsonString(entries[i]->outputPath) + "}");
      return;
    }
    std::lock_guard lock(orderMutex);
    finished[i] = OneLine(entries[i]->path + ": " + status);
    done[i] = true;
    while (printed < count && done[printed]) progress.Line(finished[printed++]);
  };

  const BatchSummary summary =
      RunParallelBatch(settings, entries, jobs, OpenDecoderFor, gCancel, events);
  if (!options.json) {
    std::lock_guard lock(orderMutex);
    while (printed < count && done[printed]) progress.Line(finished[printed++]);
  }
  std::fflush(stdout);
  reportFailures();
  if (gCancel.load()) return 130;
  return anyFailed || summary.notConverted > 0 || summary.notStarted > 0 ? 1 : 0;
}
