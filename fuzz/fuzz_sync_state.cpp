// The sync state reader on arbitrary bytes: whatever it accepts names outputs inside the base
// folder only, and reads back the same after being written again.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/library/Sync.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using wavorax::library::SyncState;
  const SyncState state =
      SyncState::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  std::size_t damaged = 0;
  const SyncState again = SyncState::Parse(state.Serialise(), &damaged);
  if (damaged != 0 || again.Size() != state.Size()) std::abort();
  for (const auto* record : state.Records()) {
    if (!wavorax::library::IsSafeRelativePath(record->output)) std::abort();
    const auto* copy = again.Find(record->output);
    if (!copy || !(*copy == *record)) std::abort();
  }
  return 0;
}
