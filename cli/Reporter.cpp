#include "cli/Reporter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "app/Translations.h"
#include "base/Paths.h"
#include "base/Utf8.h"

namespace wavorax::cli {

using i18n::Fill;
using i18n::translate;

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  char buf[8];
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = DecodeUtf8(std::string_view(s).substr(i));
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

// A text as one line of a terminal: control characters become '?'.
std::string OneLine(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return out;
}

namespace {

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
    const std::size_t n = DecodeUtf8(std::string_view(s).substr(i), &v);
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

// The --list table: widths in terminal columns, so that wide characters keep it aligned.
void PrintTable(const CSourceList& list, const std::function<void(const std::string&)>& Put) {
  // The window's column titles.
  const std::string kTitles[] = {translate("Table", "File"), translate("Table", "Length"),
                                 translate("Table", "Bit Rate"), translate("Table", "Freq."),
                                 translate("Table", "Channels")};
  // The channel modes are words; the other cells are names and figures.
  const auto cellOf = [&list](int r, int c) {
    return c == 4 ? i18n::EngineTextUtf8(list.Text(r, c)) : list.Text(r, c);
  };
  std::size_t width[5];
  for (int c = 0; c < 5; ++c) {
    width[c] = DisplayWidth(kTitles[c]);
    for (int r = 0; r < list.RowCount(); ++r)
      width[c] = std::max(width[c], DisplayWidth(OneLine(cellOf(r, c))));
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
    Put(out + "\n");
  };
  line([&](int c) { return kTitles[c]; });
  for (int r = 0; r < list.RowCount(); ++r) line([&](int c) { return cellOf(r, c); });
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
    case PlannedAction::UpToDate:
      return "up-to-date";
    case PlannedAction::Failed:
      break;
  }
  return "failed";
}

// A figure with `decimals` places and a point whatever the locale; null when it is not
// finite (the loudness of silence).
std::string JsonNumber(double value, int decimals) {
  if (!std::isfinite(value)) return "null";
  char text[64];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string s(text, end.ptr);
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  return s;
}

std::string LoudnessJson(const LoudnessResult& m) {
  return "\"valid\":" + std::string(m.valid ? "true" : "false") +
         ",\"integrated_lufs\":" + (m.valid ? JsonNumber(m.integratedLufs, 2) : "null") +
         ",\"true_peak_dbtp\":" + (m.truePeak > 0 ? JsonNumber(m.truePeakDbtp, 2) : "null") +
         ",\"range_lu\":" + JsonNumber(m.loudnessRangeLu, 2);
}

std::string ReplayGainModeWord(int mode) {
  return mode == 2 ? "album" : mode == 1 ? "track" : "off";
}

// Writes to standard output and notes when a write failed: a reader that went away (a
// closed pipe) must stop the run rather than let it go on unseen.
class Output {
 public:
  void Put(const std::string& text) {
    if (!ok_) return;
    if (std::fputs(text.c_str(), stdout) == EOF || std::fflush(stdout) == EOF) ok_ = false;
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = true;
};

class TextReporter final : public IReporter {
 public:
  explicit TextReporter(bool terminal) : terminal_(terminal) {}

  void RowAdded(const CSourceList&, int) override {}
  void LoadFailed(const std::string&) override {}
  void Listing(const CSourceList& list) override {
    PrintTable(list, [this](const std::string& line) { out_.Put(line); });
  }
  void Plan(int, const std::string& source, const OutputPlan& plan) override {
    std::string line = source + ": ";
    switch (plan.action) {
      case PlannedAction::New:
        line += Fill(translate("Cli", "new %1"), {plan.path});
        break;
      case PlannedAction::Renamed:
        line += Fill(translate("Cli", "renamed to %1"), {plan.path});
        break;
      case PlannedAction::Overwrite:
        line += Fill(translate("Cli", "overwrite %1"), {plan.path});
        break;
      case PlannedAction::Skipped:
        line += translate("Cli", "skipped");
        break;
      case PlannedAction::SameAsSource:
        line += translate("Cli", "refused as the source itself");
        break;
      case PlannedAction::UpToDate:
        line += Fill(translate("Cli", "up to date %1"), {plan.path});
        break;
      case PlannedAction::Failed:
        line += i18n::EngineTextUtf8(plan.outcome);
        break;
    }
    Line(OneLine(line));
  }
  void Started(int index, int count, const SourceEntry& entry) override {
    {
      std::lock_guard lock(mutex_);
      count_ = count;
    }
    ShowProgress(index, FileNameOf(entry.path), 0);
  }
  void Progressed(int index, const SourceEntry& entry, int percent) override {
    ShowProgress(index, FileNameOf(entry.path), percent);
  }
  // Status lines come out in batch order, whichever file finishes first.
  void Finished(int index, const SourceEntry& entry, const std::string& status, bool) override {
    std::lock_guard lock(mutex_);
    if (finished_.size() <= static_cast<std::size_t>(index))
      finished_.resize(static_cast<std::size_t>(index) + 1);
    finished_[index] = OneLine(entry.path + ": " + i18n::EngineTextUtf8(status));
    FlushInOrder();
  }
  void TimeLeft(const std::string& text) override {
    std::lock_guard lock(mutex_);
    timeLeft_ = i18n::EngineTextUtf8(text);
  }
  void Removed(const SyncSession::Removal& removal) override {
    Line(OneLine(removal.output + ": " + i18n::EngineTextUtf8(removal.status)));
  }
  void BatchEnded() override {
    std::lock_guard lock(mutex_);
    FlushInOrder();
    for (const std::string& line : albums_) Line(line);
    albums_.clear();
  }
  void AlbumMeasured(const AlbumLoudness& album) override {
    std::lock_guard lock(mutex_);
    std::string line = Fill(translate("Cli", "Album of %1 track(s) from row %2: "),
                            {std::to_string(album.rows.size()),
                             std::to_string(album.rows.empty() ? 0 : album.rows.front() + 1)});
    if (album.gain)
      line += Fill(translate("Cli", "%1, peak %2 (%3 tagged)"),
                   {FormatGainDb(album.gain->albumGainDb), FormatPeak(album.gain->albumPeak),
                    std::to_string(album.tagged)});
    else
      line += translate("Cli", "no album gain (silence or too short)");
    albums_.push_back(line);
  }
  void LoudnessPlan(int replayGainMode, const double* normaliseLufs) override {
    if (normaliseLufs)
      Line(Fill(replayGainMode == 2
                    ? translate("Cli",
                                "Loudness: each source would be decoded once to measure it, then "
                                "normalised to %1 LUFS (true peak at most -1 dBTP), albums as a "
                                "whole")
                    : translate("Cli",
                                "Loudness: each source would be decoded once to measure it, then "
                                "normalised to %1 LUFS (true peak at most -1 dBTP)"),
                {JsonNumber(*normaliseLufs, 0)}));
    if (replayGainMode != 0)
      Line(replayGainMode == 2 ? translate("Cli",
                                           "Loudness: ReplayGain track and album gains would be "
                                           "measured while converting and written as tags")
                               : translate("Cli",
                                           "Loudness: ReplayGain track gains would be measured "
                                           "while converting and written as tags"));
  }
  void LoadFailures(const std::string& report) override {
    if (!report.empty())
      std::fprintf(stderr, "%s\n", OneLineReport(i18n::EngineTextUtf8(report)).c_str());
  }
  bool OutputOk() const override { return out_.ok(); }

 private:
  void ShowProgress(int index, const std::string& name, int percent) {
    if (!terminal_) return;
    std::lock_guard lock(mutex_);
    const std::string line = Fill(translate("Cli", "[%1/%2] Converting %3...%4%"),
                                  {std::to_string(index + 1), std::to_string(count_), OneLine(name),
                                   std::to_string(percent)}) +
                             (timeLeft_.empty() ? "" : " (" + timeLeft_ + ")");
    std::fprintf(stderr, "\r\033[K%s", line.c_str());
    std::fflush(stderr);
  }
  void Line(const std::string& text) {
    if (terminal_) std::fputs("\r\033[K", stderr);
    out_.Put(text + "\n");
  }
  void FlushInOrder() {
    while (printed_ < finished_.size() && finished_[printed_]) Line(*finished_[printed_++]);
  }

  bool terminal_;
  std::mutex mutex_;
  int count_ = 0;
  std::string timeLeft_;
  std::vector<std::optional<std::string>> finished_;
  std::size_t printed_ = 0;
  std::vector<std::string> albums_;
  Output out_;
};

class JsonReporter final : public IReporter {
 public:
  void RowAdded(const CSourceList& list, int row) override { Put(RowJson(list, row)); }
  void LoadFailed(const std::string& path) override {
    Put("{\"event\":\"load_failure\",\"path\":" + JsonString(path) + "}");
  }
  void Listing(const CSourceList&) override {}
  void Plan(int index, const std::string& source, const OutputPlan& plan) override {
    const bool converts = !plan.path.empty();
    Put("{\"event\":\"plan\",\"index\":" + std::to_string(index) +
        ",\"path\":" + JsonString(source) + ",\"action\":\"" + PlanWord(plan.action) +
        "\",\"output\":" + JsonString(plan.path) +
        ",\"status\":" + JsonString(converts ? FileNameOf(plan.path) : plan.outcome) + "}");
  }
  void Started(int index, int count, const SourceEntry& entry) override {
    Put("{\"event\":\"start\",\"index\":" + std::to_string(index) +
        ",\"sequence\":" + std::to_string(index + 1) + ",\"count\":" + std::to_string(count) +
        ",\"path\":" + JsonString(entry.path) + ",\"output\":" + JsonString(entry.outputPath) +
        "}");
  }
  void Progressed(int index, const SourceEntry&, int percent) override {
    Put("{\"event\":\"progress\",\"index\":" + std::to_string(index) +
        ",\"percent\":" + std::to_string(percent) + "}");
  }
  void Finished(int index, const SourceEntry& entry, const std::string& status,
                bool converted) override {
    Put("{\"event\":\"status\",\"index\":" + std::to_string(index) +
        ",\"path\":" + JsonString(entry.path) + ",\"status\":" + JsonString(status) +
        ",\"converted\":" + (converted ? "true" : "false") +
        ",\"output\":" + JsonString(entry.outputPath) + "}");
  }
  void Measured(int index, const RowLoudness& l) override {
    std::string o = "{\"event\":\"loudness\",\"index\":" + std::to_string(index) + "," +
                    LoudnessJson(l.measured);
    o += ",\"track_gain_db\":" + (l.gain ? JsonNumber(l.gain->trackGainDb, 2) : "null");
    o += ",\"track_peak\":" + (l.gain ? JsonNumber(l.gain->trackPeak, 6) : "null");
    if (l.normalised) o += ",\"normalise_gain_db\":" + JsonNumber(l.normaliseGainDb, 2);
    Put(o + ",\"tagged\":" + (l.tagged ? "true" : "false") + "}");
  }
  void AlbumMeasured(const AlbumLoudness& a) override {
    std::string rows;
    for (const int r : a.rows) rows += (rows.empty() ? "" : ",") + std::to_string(r);
    Put("{\"event\":\"album\",\"indexes\":[" + rows + "]," + LoudnessJson(a.measured) +
        ",\"album_gain_db\":" + (a.gain ? JsonNumber(a.gain->albumGainDb, 2) : "null") +
        ",\"album_peak\":" + (a.gain ? JsonNumber(a.gain->albumPeak, 6) : "null") +
        ",\"tagged\":" + std::to_string(a.tagged) + "}");
  }
  void LoudnessPlan(int replayGainMode, const double* normaliseLufs) override {
    Put("{\"event\":\"loudness_plan\",\"replaygain\":\"" + ReplayGainModeWord(replayGainMode) +
        "\",\"normalise_lufs\":" + (normaliseLufs ? JsonNumber(*normaliseLufs, 0) : "null") +
        ",\"measured\":\"" + (normaliseLufs ? "before converting" : "while converting") + "\"}");
  }
  void TimeLeft(const std::string& text) override {
    Put("{\"event\":\"time_left\",\"text\":" + JsonString(text) + "}");
  }
  void Removed(const SyncSession::Removal& removal) override {
    Put("{\"event\":\"orphan\",\"output\":" + JsonString(removal.output) + ",\"status\":" +
        JsonString(removal.status) + ",\"moved\":" + (removal.moved ? "true" : "false") + "}");
  }
  void BatchEnded() override {}
  // Each failure was an object of its own already.
  void LoadFailures(const std::string&) override {}
  bool OutputOk() const override { return out_.ok(); }

 private:
  void Put(const std::string& object) {
    std::lock_guard lock(mutex_);
    out_.Put(object + "\n");
  }

  std::mutex mutex_;
  Output out_;
};

}  // namespace

std::unique_ptr<IReporter> MakeTextReporter(bool terminal) {
  return std::make_unique<TextReporter>(terminal);
}

std::unique_ptr<IReporter> MakeJsonReporter() { return std::make_unique<JsonReporter>(); }

}  // namespace wavorax::cli
