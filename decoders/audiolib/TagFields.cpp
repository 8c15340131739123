#include "decoders/audiolib/TagFields.h"

#include <taglib/fileref.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/tfile.h>
#include <taglib/tpropertymap.h>

#include <memory>

#include "decoders/audiolib/TagText.h"

namespace wavorax::audiolib {
namespace {

// Appends the parts of one value. Some taggers separate several values by NUL inside one
// ID3v2.3 frame, others pad with NULs; either way each non-empty part is a value of its own,
// so nothing is lost and no NUL reaches a file name.
void AddValue(const TagLib::String& value, std::vector<std::string>& out) {
  const std::string text = value.to8Bit(true);
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) out.push_back(ToValidUtf8(text.substr(start, end - start)));
    start = end + 1;
  }
}

}  // namespace

TagMap ReadTagMap(ByteSource& source) {
  // As for the tag text: a path lets TagLib choose the format by extension and then by
  // content, memory is read by content alone. Audio properties are not needed.
  std::unique_ptr<TagLib::ByteVectorStream> memory;
  std::unique_ptr<TagLib::FileRef> ref;
  if (const auto* bytes = source.Memory()) {
    memory = std::make_unique<TagLib::ByteVectorStream>(TagLib::ByteVector(
        reinterpret_cast<const char*>(bytes->data()), static_cast<unsigned>(bytes->size())));
    ref = std::make_unique<TagLib::FileRef>(memory.get(), false);
  } else {
    ref = std::make_unique<TagLib::FileRef>(source.Path().c_str(), false);
  }
  TagMap tags;
  if (ref->isNull() || !ref->file()->isValid()) return tags;
  const TagLib::PropertyMap properties = ref->file()->properties();
  for (const auto& [key, values] : properties) {
    std::vector<std::string> out;
    for (const TagLib::String& value : values) AddValue(value, out);
    if (!out.empty()) tags[key.to8Bit(true)] = std::move(out);
  }
  return tags;
}

TagMap ReadTagMap(const std::string& path) {
  // Only regular files are handed to TagLib: opening some devices has effects of its own,
  // a FIFO would block, and a CD track's name is no file at all.
  const std::unique_ptr<ByteSource> source = ByteSource::OpenFile(path);
  if (!source) return {};
  return ReadTagMap(*source);
}

std::string FirstValue(const TagMap& tags, const std::string& key) {
  const auto it = tags.find(key);
  return it == tags.end() || it->second.empty() ? std::string() : it->second.front();
}

}  // namespace wavorax::audiolib
