// The front cover that a source file's tags hold, for carrying over into MP4-family outputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace wavorax {

// Pictures above this size are not carried over: no player needs one that large, and a tag
// that claims more is more likely damaged than a real cover.
inline constexpr std::size_t kMaxCoverBytes = 16u * 1024u * 1024u;

enum class CoverImageType { Unknown, Jpeg, Png };

// The image type by the bytes' own signature; the MIME type a tag declares is not trusted.
CoverImageType CoverImageTypeOf(std::span<const std::uint8_t> bytes);

// The front cover of the file at `path`: from an ID3v2 APIC frame (MP3, WAV, AIFF), FLAC
// picture blocks, Vorbis comments' METADATA_BLOCK_PICTURE (Ogg Vorbis, Opus, Ogg FLAC), an
// MP4 covr item, or an APE tag's "Cover Art (Front)" (APE, Musepack, WavPack, MP3). A
// picture typed as front cover wins; without one, the first picture stands in, since many
// taggers store the cover as "other". Empty when there is none, when the file is not a
// regular file or cannot be read, and when the picture is larger than kMaxCoverBytes or is
// neither JPEG nor PNG.
std::vector<std::uint8_t> ReadFrontCover(const std::string& path);

}  // namespace wavorax
