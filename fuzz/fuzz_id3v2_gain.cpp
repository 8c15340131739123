// The ID3v2 ReplayGain editor on arbitrary bytes taken as a source's tag block.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "engine/loudness/Id3v2Gain.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  const wavorax::ReplayGain gain{-9.3, 0.988553, (size & 1) != 0, 2.5, 1.0};
  const auto edit = wavorax::SetReplayGainInId3v2(input, gain);
  if (!edit.edited) {
    // A refusal hands the input back as it was.
    if (!std::equal(edit.block.begin(), edit.block.end(), input.begin(), input.end())) std::abort();
    return 0;
  }
  // What we write must read again, and writing the same gain over it must change nothing:
  // the old frames go and the same new ones come back in the same place.
  const auto again = wavorax::SetReplayGainInId3v2(edit.block, gain);
  if (!again.edited || again.block != edit.block) std::abort();
  // Removing the gain leaves a tag that takes it back to the same bytes.
  const auto removed = wavorax::SetReplayGainInId3v2(edit.block, std::nullopt);
  if (!removed.edited) std::abort();
  const auto restored = wavorax::SetReplayGainInId3v2(removed.block, gain);
  if (!removed.block.empty() && restored.block != edit.block) std::abort();
  return 0;
}
