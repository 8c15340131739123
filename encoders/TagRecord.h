// The user's own tag for converted files: one record for MP3 targets, one for the MP4 family.
#pragma once

#include <cstdint>
#include <string>

namespace wavorax {

struct TagRecord {
  // Take the title from the source's file name without its extension.
  std::int32_t useFileNameAsTitle = 1;
  // Texts are UTF-8 in memory; the persisted image holds them as Windows-1252.
  std::string title;
  std::string artist;
  std::string album;
  std::string year;
  std::int32_t genre = 255;  // index into the genre table, 255 = none
  std::string comment;
  std::int32_t trackMode = 0;  // 0 none, 1 sequence number in the batch, 2 custom
  std::int32_t track = 0;

  bool operator==(const TagRecord&) const = default;
};

}  // namespace wavorax
