// wavorax-cli: batch conversion from a terminal, with the settings of the desktop program.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

extern "C" {
#include <libavutil/log.h>
}

#include "app/SettingsStore.h"
#include "cli/CliOptions.h"
#include "decoders/DecoderChoice.h"
#include "decoders/audiolib/AudioLib.h"
#include "engine/ParallelBatch.h"
#include "base/Paths.h"
#include "sources/Adding.h"
#include "sources/SourceList.h"

using namespace wavorax;

namespace {

std::atomic<bool> gCancel{false};

extern "C" void OnInterrupt(int) { gCancel.store(true); }

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
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
    std::fprintf(stderr, "\r\033[K[%d/%d] Converting %s...%d%%", index + 1, total_, name.c_str(),
                 percent);
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
    for (int r = 0; r < list.RowCount(); ++r) width[c] = std::max(width[c], list.Text(r, c).size());
  }
  auto line = [&](auto cell) {
    std::string out;
    for (int c = 0; c < 5; ++c) {
      std::string text = cell(c);
      // File and Channels are left-aligned, the numbers right-aligned, as in the window.
      const std::string pad(width[c] - std::min(width[c], text.size()), ' ');
      out += (c == 0 || c == 4) ? text + pad : pad + text;
      if (c < 4) out += "  ";
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    std::puts(out.c_str());
  };
  line([&](int c) { return std::string(kTitles[c]); });
  for (int r = 0; r < list.RowCount(); ++r) line([&](int c) { return list.Text(r, c); });
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
    auto store = options.settingsFile.empty() ? std::make_unique<CSettingsStore>()
                                              : std::make_unique<CSettingsStore>(options.settingsFile);
    store->LoadSettings(settings);
  }
  for (const auto& a : options.assignments) cli::ApplyAssignment(settings, a, error);

  // Files are taken whatever their extension, folders through the extension filter.
  std::vector<std::string> collected;
  for (const auto& source : options.sources) {
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      CollectFolder(settings, collected, source);
    else
      collected.push_back(source);
  }

  const int jobs = options.jobs > 0 ? options.jobs
                                    : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  Reporter reporter(options.json, 0);
  CSourceList list(OpenDecoderFor);
  bool anyFailed = false;
  const std::string failures = AddCollectedFiles(
      list, collected, nullptr, [&](const std::string& path, CSourceList::AddResult r, int row) {
        if (!options.json) return;
        if (r == CSourceList::AddResult::Added)
          reporter.Json(RowJson(list, row));
        else if (r == CSourceList::AddResult::Failed)
          reporter.Json("{\"event\":\"load_failure\",\"path\":" + JsonString(path) + "}");
      },
      jobs);
  if (!failures.empty()) {
    anyFailed = true;
    if (!options.json) std::fprintf(stderr, "%s\n", FailureReport(failures).c_str());
  }

  if (options.list) {
    if (!options.json) PrintTable(list);
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
      progress.Json("{\"event\":\"start\",\"index\":" + std::to_string(i) + ",\"sequence\":" +
                    std::to_string(i + 1) + ",\"count\":" + std::to_string(count) +
                    ",\"path\":" + JsonString(e.path) + ",\"output\":" + JsonString(e.outputPath) + "}");
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
                    ",\"converted\":" + (converted ? "true" : "false") + ",\"output\":" +
                    JsonString(entries[i]->outputPath) + "}");
      return;
    }
    std::lock_guard lock(orderMutex);
    finished[i] = entries[i]->path + ": " + status;
    done[i] = true;
    while (printed < count && done[printed]) progress.Line(finished[printed++]);
  };

  const BatchSummary summary = RunParallelBatch(settings, entries, jobs, OpenDecoderFor, gCancel, events);
  if (!options.json) {
    std::lock_guard lock(orderMutex);
    while (printed < count && done[printed]) progress.Line(finished[printed++]);
  }
  if (gCancel.load()) return 130;
  return anyFailed || summary.notConverted > 0 || summary.notStarted > 0 ? 1 : 0;
}
