// Puts ReplayGain TXXX frames into the ID3v2 block that an MP3 output carries in front of its
// audio: the source's block (v2.3 or v2.4, header and footer included) or none.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/loudness/Gain.h"

namespace wavorax {

struct Id3v2GainEdit {
  std::vector<std::uint8_t> block;
  // False when the input was refused: `block` is then an unchanged copy of it.
  bool edited = false;
};

// Returns the block with every TXXX frame whose description begins with "REPLAYGAIN_" (in
// any case, in any text encoding) removed and, when `gain` is given, the ReplayGainFields
// added as TXXX frames in ISO-8859-1 with the value unterminated, as loudgain writes them.
// Without `gain` the old ReplayGain frames are only removed, so a stale figure from the
// source is not carried into an output whose level changed.
//
// Every other frame is kept byte for byte, in its order, and the padding keeps its length.
// The version stays. A v2.3 tag is written without unsynchronisation (its frames as they
// read after undoing it); a v2.4 tag keeps its unsynchronisation flag, since there each
// frame carries its own state and the new frames are plain ASCII. The extended header
// (padding size, CRC, restrictions) and the footer, neither of which a tag at the start of a
// file needs, are dropped.
//
// No input (an empty span) gives a fresh v2.4 tag; no frames left and nothing to add gives
// an empty block. Anything else that is not a well-formed v2.3 or v2.4 tag (v2.2, a size
// past the end of the input, a size byte with its top bit set, a frame that runs past the
// tag or has an invalid identifier) is refused. Bytes after the tag's declared end are not
// part of it and are not returned.
Id3v2GainEdit SetReplayGainInId3v2(std::span<const std::uint8_t> tag,
                                   const std::optional<ReplayGain>& gain);

}  // namespace wavorax
