// What the target pipelines share: opening the source, the block buffers and loop, the
// progress line, the outcome of a file and the small tag helpers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Utf8.h"
#include "decoders/Decoder.h"
#include "decoders/SourceType.h"
#include "decoders/audiolib/CoverArt.h"
#include "engine/Pipelines.h"
#include "engine/Targets.h"
#include "settings/TagRecord.h"

namespace wavorax {

// The source's decoder, or null when it cannot be opened or its stream is one no real source
// has (the buffer arithmetic would divide by zero or ask for absurd amounts of memory).
// Tracker music renders at `renderRate`.
std::unique_ptr<CDecoder> OpenSource(const PipelineContext& ctx, int sourceType,
                                     const std::string& path, int renderRate);

// Two block buffers of kDecodeBlock samples of the source width; the right one only for
// two channels.
struct InputBlock {
  InputBlock(int bytesPerSample, int channels)
      : left(std::size_t(kDecodeBlock) * bytesPerSample),
        right(channels == 2 ? std::size_t(kDecodeBlock) * bytesPerSample : 0) {}
  void* L() { return left.data(); }
  void* R() { return right.empty() ? nullptr : right.data(); }
  std::vector<std::uint8_t> left, right;
};

// The per-file line of the progress window: the text only when the whole percentage grows,
// the bar only when its pixel position grows.
class FileProgress {
 public:
  FileProgress(IConvertProgress& p, std::string name, std::uint64_t length)
      : p_(p), name_(std::move(name)), total_(length) {
    hundredth_ = total_ / 100;
    if (total_ == 0) total_ = 1;
    if (hundredth_ == 0) hundredth_ = 1;
    width_ = std::max(p_.FileBarWidth(), 1);
    p_.SetFileBarRange(width_);
    p_.SetFileBarPos(0);
    step_ = total_ / static_cast<std::uint64_t>(width_);
    if (step_ == 0) step_ = 1;
  }

  // Shows the position; false when Cancel was pressed.
  bool Update(std::uint64_t position) {
    const int percent = static_cast<int>(std::min<std::uint64_t>(position / hundredth_, 100));
    if (percent > lastPercent_) {
      p_.SetFilePercent(percent);
      p_.SetFileText(FileText(name_, percent));
      lastPercent_ = percent;
    }
    const int bar = static_cast<int>(std::min<std::uint64_t>(position / step_, width_));
    if (bar > lastBar_) {
      p_.SetFileBarPos(bar);
      lastBar_ = bar;
    }
    return Poll();
  }

  // Lets the window run for a moment; false when Cancel was pressed.
  bool Poll() {
    p_.PumpMessages();
    return !p_.CancelRequested();
  }

  void Finish() {
    if (lastPercent_ != 100) {
      p_.SetFilePercent(100);
      p_.SetFileText(FileText(name_, 100));
      p_.SetFileBarPos(width_);
    }
  }

  std::uint64_t total() const { return total_; }

 private:
  IConvertProgress& p_;
  std::string name_;
  std::uint64_t total_, hundredth_, step_;
  int width_;
  int lastPercent_ = 0, lastBar_ = 0;
};

// The block loop shared by every pipeline. `write(n)` processes and writes the n samples per
// channel just read; it returns false on a write failure. True when the source ended after at
// least one sample: a source that decodes to nothing (an empty data chunk, an MP3 of only
// tags) converts to nothing, which is no output.
template <typename WriteBlock>
bool PumpBlocks(CDecoder& decoder, int sourceType, InputBlock& in, FileProgress& progress,
                WriteBlock write) {
  // A decoder waiting on a slow drive keeps the window alive and Cancel within reach.
  decoder.SetWaitCheck([&progress] { return progress.Poll(); });
  struct Forget {
    CDecoder& d;
    ~Forget() { d.SetWaitCheck(nullptr); }
  } forget{decoder};
  bool delivered = false;
  for (;;) {
    const int n = decoder.Read(in.L(), in.R());
    if (n == kReadFailed) return false;
    if (n <= 0) return delivered;
    delivered = true;
    const std::uint64_t position = decoder.GetPosition();
    if (!progress.Update(position)) return false;
    if (!write(std::min(n, kDecodeBlock))) return false;
    // Tracker music can render forever (loops); it ends once its length is reached.
    if (sourceType == kSourceMusic && position >= progress.total()) return true;
  }
}

// Bytes of one decoded sample: 1 for 8 bits, 2 for 16, 4 for the wide widths.
int BytesOf(int bits);

// The outcome of a conversion once the writer is closed: a file counts only when the source
// ended and the writer could finish its header or container (not on a full disk). Anything
// less is deleted, never the source.
int Outcome(bool ended, bool closed, const std::string& outputPath, const std::string& sourcePath);

// Capacity in samples of a buffer that takes one processed block.
std::size_t ConvertedSamples(int targetRate, int sourceRate);

// The track number of a text such as "3" or "3/12": its leading decimal number, 0 for none.
int TrackNumberOf(const std::string& text);

// The source's file name without its extension, for titles taken from file names.
std::string TitleFromFileName(const std::string& sourcePath);

// The track number the user's tag gives the file: by sequence, fixed, or none (0).
int UserTrackNumber(const TagRecord& tag, int batchSequenceNumber);

// The tags of the MP4-family writers (CMp4Encoder, CAlacEncoder): the user's tag, or the
// source's texts and front cover. False when the writer refuses them.
template <typename Encoder>
bool TagMp4Family(const PipelineContext& ctx, const std::string& sourcePath, Encoder& encoder,
                  CDecoder& decoder) {
  const ConversionSettings& s = ctx.settings;
  if (s.M4AID3TagType == kTagAddUser) {
    const TagRecord& user = s.M4AID3Tag;
    const std::string title =
        CutUtf8(user.useFileNameAsTitle ? TitleFromFileName(sourcePath) : user.title, 31);
    return encoder.SetMetadata(title, user.artist, user.album, GenreName(user.genre), user.year,
                               user.comment, UserTrackNumber(user, ctx.batchSequenceNumber));
  }
  if (s.M4AID3TagType == kTagTransfer) {
    // The cover goes along with the texts. One that is too large or of another type is
    // simply left out (ReadFrontCover returns nothing for it); it never fails the file.
    const std::vector<std::uint8_t> cover = ReadFrontCover(sourcePath);
    if (!cover.empty()) encoder.SetCoverArt(cover);
    std::string title, artist, album, year, genre, comment, track;
    if (decoder.ReadTags(title, artist, album, year, genre, comment, track))
      return encoder.SetMetadata(title, artist, album, genre, year, comment, TrackNumberOf(track));
  }
  return true;
}

}  // namespace wavorax
