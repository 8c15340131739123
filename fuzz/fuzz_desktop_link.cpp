// The reader of freedesktop link files (.desktop files of Type=Link) on arbitrary text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sources/Adding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > wavorax::kMaxDesktopLinkBytes) return 0;  // longer files are never read
  const std::string target =
      wavorax::ParseDesktopLink(std::string_view(reinterpret_cast<const char*>(data), size));
  // Only a local, absolute path may come out: anything else would be opened relative to the
  // working folder or taken for a remote address.
  if (!target.empty() && target.front() != '/') std::abort();
  return 0;
}
