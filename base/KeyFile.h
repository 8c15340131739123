// The freedesktop key-file format of .desktop entries and mimeapps.list: "[Group]" headers,
// "Key=Value" lines, '#' comments.
#pragma once

#include <string>
#include <string_view>

namespace wavorax {

// The value of the first `key` in the group `group` of the key-file text, trimmed, or an
// empty text when the group has no such key.
std::string KeyFileValue(std::string_view text, std::string_view group, std::string_view key);

// The text of a small key file: only a regular file is read, opened without blocking (a FIFO
// named like one would otherwise wait for a writer for good) and only when it holds at most
// `maxBytes` (a device such as /dev/zero behind the name would otherwise never end). False
// when the file cannot be read so.
bool ReadKeyFile(const std::string& path, std::size_t maxBytes, std::string& text);

}  // namespace wavorax
