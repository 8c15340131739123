// Every tag field of a source as TagLib's property map names it, with all its values, for
// naming outputs after their tags and for carrying tags over without losing any.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "base/ByteSource.h"

namespace wavorax::audiolib {

// Field name (upper case, as TagLib names it: ARTIST, ALBUMARTIST, ALBUM, TITLE,
// TRACKNUMBER, DISCNUMBER, DATE, GENRE, COMMENT, ...) to its values in the file's order, all
// UTF-8. A field appears only with at least one non-empty value.
using TagMap = std::map<std::string, std::vector<std::string>>;

// The fields of the file at `path`; empty when it is no regular file, TagLib does not know
// its format, or it has no tag.
TagMap ReadTagMap(const std::string& path);
// The same for a source already opened (from a file or from memory).
TagMap ReadTagMap(ByteSource& source);

// The first value of `key`, or "" when the field is absent.
std::string FirstValue(const TagMap& tags, const std::string& key);

}  // namespace wavorax::audiolib
