// Writing ReplayGain figures into a finished output in its format's convention: ID3v2 TXXX
// frames in MP3 (the block the output already carries is kept), Vorbis comments in FLAC and
// Ogg Vorbis, R128 gains in Q7.8 in Opus, free-form com.apple.iTunes items in the MP4 family
// and ALAC. Raw AAC and WAV carry none.
#pragma once

#include <string>

#include "engine/loudness/Gain.h"

namespace wavorax {

// Whether outputs of the target can carry gain tags.
bool TakesGainTags(int targetCode);

// Writes the gain (the album fields too when `gain.hasAlbum`) into the file at `path`,
// replacing earlier figures. The file is changed in place: call it on a temporary output
// that is not committed yet, or through WriteGainTagsReplacing. False when the file could
// not be tagged; it may then be partly written.
bool WriteGainTags(const std::string& path, int targetCode, const ReplayGain& gain);

// For committed outputs: tags a copy beside `path` and renames it over the file, so the
// output is at every moment either the old file or the whole new one.
bool WriteGainTagsReplacing(const std::string& path, int targetCode, const ReplayGain& gain);

}  // namespace wavorax
