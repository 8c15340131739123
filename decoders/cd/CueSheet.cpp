#include "decoders/cd/CueSheet.h"

#include <cctype>

namespace wavorax {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Splits one line into words; a double-quoted word may hold spaces and ends at the next quote
// (or at the end of the line when the quote is never closed).
std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      const std::size_t close = line.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? line.size() : close;
      word = std::string(line.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? line.size() : close + 1;
    } else {
      const std::size_t start = i;
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
      word = std::string(line.substr(start, i - start));
    }
    words.push_back(std::move(word));
  }
  return words;
}

// "mm:ss:ff" to sectors (75 per second); -1 when malformed.
long ParseTime(const std::string& text) {
  long parts[3] = {0, 0, 0};
  int part = 0, digits = 0;
  for (char c : text) {
    if (c == ':') {
      if (digits == 0 || ++part > 2) return -1;
      digits = 0;
    } else if (c >= '0' && c <= '9') {
      if (++digits > 4) return -1;  // keeps the arithmetic small
      parts[part] = parts[part] * 10 + (c - '0');
    } else {
      return -1;
    }
  }
  if (part != 2 || digits == 0 || parts[1] >= 60 || parts[2] >= 75) return -1;
  return (parts[0] * 60 + parts[1]) * 75 + parts[2];
}

}  // namespace

bool ParseCueSheet(std::string_view text, CueSheet& sheet) {
  sheet = CueSheet{};
  if (text.size() > kMaxCueSheetBytes) return false;
  // A UTF-8 byte order mark in front of the first command is common.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::vector<std::string> w = Words(text.substr(pos, end - pos));
    pos = end + 1;
    if (w.empty()) continue;
    const std::string command = Upper(w[0]);
    CueTrack* track = sheet.tracks.empty() ? nullptr : &sheet.tracks.back();

    if (command == "FILE") {
      if (w.size() < 2 || w[1].empty()) return false;
      sheet.files.push_back({w[1], w.size() > 2 ? Upper(w[2]) : std::string()});
    } else if (command == "TRACK") {
      if (w.size() < 3 || sheet.files.empty()) return false;
      if (track && track->index1 < 0) return false;  // the previous track never started
      int number = 0;
      for (char c : w[1]) {
        if (c < '0' || c > '9' || number > 99) return false;
        number = number * 10 + (c - '0');
      }
      if (number < 1 || number > 99 || (track && number <= track->number)) return false;
      CueTrack t;
      t.number = number;
      t.mode = Upper(w[2]);
      t.audio = t.mode == "AUDIO";
      t.file = static_cast<int>(sheet.files.size()) - 1;
      sheet.tracks.push_back(t);
    } else if (command == "INDEX") {
      if (!track || w.size() < 3) return false;
      const long at = ParseTime(w[2]);
      if (at < 0) return false;
      const int current = static_cast<int>(sheet.files.size()) - 1;
      const bool isIndex0 = w[1] == "00" || w[1] == "0";
      const bool isIndex1 = w[1] == "01" || w[1] == "1";
      if (track->file != current) {
        // Sheets of one file per track often put a track's pregap at the end of the file
        // before: the track then starts in the new file, and that gap stays with the track
        // before it, where it would be heard anyway.
        if (!isIndex1 || track->index1 >= 0) return false;
        track->file = current;
        track->index0 = -1;
      }
      if (isIndex0) {
        if (track->index1 >= 0) return false;
        track->index0 = at;
      } else if (isIndex1) {
        if (track->index1 >= 0 || track->index0 > at) return false;
        track->index1 = at;
      }
      // Later indexes (02 ...) mark places inside the track and change nothing here.
    } else if (command == "TITLE" && w.size() >= 2) {
      (track ? track->title : sheet.title) = w[1];
    } else if (command == "PERFORMER" && w.size() >= 2) {
      (track ? track->performer : sheet.performer) = w[1];
    } else if (command == "REM" && w.size() >= 3 && !track) {
      const std::string key = Upper(w[1]);
      if (key == "GENRE") sheet.genre = w[2];
      if (key == "DATE") sheet.date = w[2];
    }
  }
  if (sheet.tracks.empty() || sheet.tracks.back().index1 < 0) return false;
  // Within one file, each track starts after the one before it.
  for (std::size_t i = 1; i < sheet.tracks.size(); ++i) {
    const CueTrack& a = sheet.tracks[i - 1];
    const CueTrack& b = sheet.tracks[i];
    if (a.file == b.file && (b.index0 >= 0 ? b.index0 : b.index1) <= a.index1) return false;
  }
  return true;
}

}  // namespace wavorax
