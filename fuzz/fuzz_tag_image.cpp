// The loader of the stored 152-byte tag image on arbitrary bytes.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "settings/TagRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  wavorax::TagRecord record;
  if (!wavorax::TagRecordFromBytes(std::span(data, size), record)) return 0;
  // The settings are written back on every OK of the options. The first save may cut a text
  // that filled its whole field; after that, saving and loading must change nothing, or a
  // field would drift a little with each OK.
  wavorax::TagRecord saved, again;
  if (!wavorax::TagRecordFromBytes(wavorax::TagRecordToBytes(record), saved)) std::abort();
  if (!wavorax::TagRecordFromBytes(wavorax::TagRecordToBytes(saved), again)) std::abort();
  if (!(again == saved)) std::abort();
  return 0;
}
