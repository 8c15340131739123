#include "decoders/SourceType.h"

#include <initializer_list>

#include "base/Paths.h"

namespace wavorax {

static bool IsOneOf(const std::string& ext, std::initializer_list<const char*> list) {
  for (const char* candidate : list)
    if (EqualsNoCase(ext, candidate)) return true;
  return false;
}

int SourceTypeOf(const std::string& path) {
  // Only the file-name part counts: a dot in a folder name is not an extension.
  const std::string name = FileNameOf(path);
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return kSourceOther;
  const std::string ext = name.substr(dot);
  // Tested in this order; the lists do not overlap, so the order only documents intent.
  if (IsOneOf(ext, {".mp3", ".mp2", ".mp1"})) return kSourceMpeg;
  if (IsOneOf(ext, {".wav"})) return kSourceWav;
  if (IsOneOf(ext, {".amr"})) return kSourceAmr;
  if (IsOneOf(ext, {".ogg", ".oga"})) return kSourceOgg;
  if (IsOneOf(ext, {".mod", ".xm", ".it", ".s3m", ".mtm", ".umx", ".mo3"})) return kSourceMusic;
  if (IsOneOf(ext, {".au", ".snd"})) return kSourceAu;
  return kSourceOther;
}

}  // namespace wavorax
