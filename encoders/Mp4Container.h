// The MP4 container layer. Its calls keep the shape of libmp4v2's writing interface (create,
// time scale, add audio track, profile level, ES configuration, metadata setters, write
// sample with duration and rendering offset, close); underneath is libavformat's mp4 muxer.
//
// The muxer's header is written when the first sample arrives (or at close), so metadata and
// track settings made after the track was added still reach the file. Metadata becomes
// iTunes-style ilst items (©nam ©ART ©alb ©day ©gen ©cmt trkn) holding UTF-8 text. The
// muxer writes no cover nor free-form items, so those are added with TagLib once the muxer
// has closed the file; the index sits at the end, so no sample moves.
//
// Every call reports failure, so that a writer never takes a broken file for a good one; a
// full disk shows up in the sample writes or, at the latest, in MP4Close.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace wavorax {

using MP4TrackId = std::uint32_t;
using MP4Duration = std::uint64_t;
inline constexpr MP4TrackId MP4_INVALID_TRACK_ID = 0;
inline constexpr MP4Duration MP4_INVALID_DURATION = ~MP4Duration{0};
// Object type indications of the audio codecs an audio track may carry: MPEG-4 audio, and
// the three MPEG-2 AAC profiles.
inline constexpr std::uint8_t MP4_MPEG4_AUDIO_TYPE = 0x40;
inline constexpr std::uint8_t MP4_MPEG2_AAC_MAIN_AUDIO_TYPE = 0x66;
inline constexpr std::uint8_t MP4_MPEG2_AAC_LC_AUDIO_TYPE = 0x67;
inline constexpr std::uint8_t MP4_MPEG2_AAC_SSR_AUDIO_TYPE = 0x68;

struct Mp4File;
using MP4FileHandle = Mp4File*;

// Destroying an owner without MP4Close abandons the file: what was written stays, but no
// index is added, so the file is not playable.
struct Mp4FileCloser {
  void operator()(Mp4File* file) const;
};
using Mp4FilePtr = std::unique_ptr<Mp4File, Mp4FileCloser>;

// Creates the file anew; null when it cannot be created. The path is always taken as a
// local file name, never as a protocol address.
Mp4FilePtr MP4Create(const std::string& path);

// The movie's time scale (ticks per second of the overall duration and the edit lists).
bool MP4SetTimeScale(MP4FileHandle file, std::uint32_t timeScale);

// Adds an AAC track whose samples are timed in `timeScale` ticks per second. Each sample
// carries its own duration, so `sampleDuration` must be MP4_INVALID_DURATION. Returns the
// track id, or MP4_INVALID_TRACK_ID when the type is not AAC or the header is already out.
MP4TrackId MP4AddAudioTrack(MP4FileHandle file, std::uint32_t timeScale, MP4Duration sampleDuration,
                            std::uint8_t audioType = MP4_MPEG4_AUDIO_TYPE);

// Adds an Apple Lossless track. `config` is the 24-byte ALACSpecificConfig (frame length,
// compatible version, bit depth, Rice parameters, channels, largest run, largest frame, average
// bit rate, sample rate, all big-endian) that the encoder hands out behind the 12-byte atom
// header of its extradata; the track's rate, channels and sample size come from it, and its
// samples are timed in ticks of that rate. Returns the track id, or MP4_INVALID_TRACK_ID for
// a configuration that cannot be read or when the header is already out. The track needs no
// ES configuration.
MP4TrackId MP4AddALACAudioTrack(MP4FileHandle file, const std::uint8_t* config, std::uint32_t size);

// Before the first sample: true writes the file through the compact writer (see
// Mp4CompactWriter.h), whose memory does not grow with the number of samples, in place of the
// muxer. Meant for long sources; the muxer's files stay as they are for the others. The file
// must hold exactly one track.
bool MP4SetCompactIndex(MP4FileHandle file, bool compact);
// Sources longer than this many seconds are written with the compact index.
inline constexpr int kMp4CompactIndexSeconds = 3600;

// The audio profile of the initial object descriptor (iods).
bool MP4SetAudioProfileLevel(MP4FileHandle file, std::uint8_t value);

// The track's AudioSpecificConfig; the channel count and sample rate come from it. False
// when it cannot be read or the header is already out.
bool MP4SetTrackESConfiguration(MP4FileHandle file, MP4TrackId track, const std::uint8_t* config,
                                std::uint32_t size);

// Metadata items; the texts are UTF-8. May be called any time before MP4Close.
bool MP4SetMetadataName(MP4FileHandle file, std::string_view value);
bool MP4SetMetadataArtist(MP4FileHandle file, std::string_view value);
bool MP4SetMetadataAlbum(MP4FileHandle file, std::string_view value);
bool MP4SetMetadataYear(MP4FileHandle file, std::string_view value);
bool MP4SetMetadataGenre(MP4FileHandle file, std::string_view value);
bool MP4SetMetadataComment(MP4FileHandle file, std::string_view value);
// Track number and total (0 = no total). Track 0 means no track number.
bool MP4SetMetadataTrack(MP4FileHandle file, std::uint16_t track, std::uint16_t totalTracks);

// The cover picture (covr), JPEG or PNG as its signature says. False, with nothing stored,
// for anything else or an empty picture; a later call replaces the picture.
bool MP4SetMetadataCoverArt(MP4FileHandle file, const std::uint8_t* bytes, std::uint32_t size);
// A free-form text item in the iTunes name space ("----" com.apple.iTunes `name`); a later
// call with the same name replaces it.
bool MP4SetMetadataFreeForm(MP4FileHandle file, std::string_view name, std::string_view value);

// What the MP4-family writers store of a tag: the texts (an empty one, or one that is not
// UTF-8, is left out and the others are still written) and the track number (0, or one above
// 65535, writes none). False when an item could not be stored.
bool MP4SetMetadataTexts(MP4FileHandle file, std::string_view title, std::string_view artist,
                         std::string_view album, std::string_view genre, std::string_view year,
                         std::string_view comment, int track);
// The cover from a span; false, storing nothing, for one that does not fit the item.
bool MP4SetMetadataCoverArt(MP4FileHandle file, std::span<const std::uint8_t> picture);

// Appends one sample (one AAC frame) lasting `duration` ticks of the track's time scale.
// A rendering offset on a track's first sample marks that many ticks at its start as the
// encoder's priming: the presentation begins that far into the media, which the file states
// with an edit list, the form players honour for audio. Later samples of an audio track
// carry no offset. False for a zero duration (each sample needs a decode time of its own),
// an offset on a later sample, an unknown track, or a write that fails.
bool MP4WriteSample(MP4FileHandle file, MP4TrackId track, const std::uint8_t* bytes,
                    std::uint32_t numBytes, MP4Duration duration, MP4Duration renderingOffset,
                    bool isSyncSample);

// Writes the index and metadata, flushes and closes the file, and releases the handle
// (null afterwards, whatever the result). True only if the file is complete on disk.
bool MP4Close(Mp4FilePtr& file);

}  // namespace wavorax
