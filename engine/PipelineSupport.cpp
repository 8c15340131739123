#include "engine/PipelineSupport.h"

#include <cerrno>
#include <cstdlib>

#include "base/Paths.h"

namespace wavorax {

namespace {

bool UsableStream(CDecoder& d) {
  const int rate = d.GetSampleRate();
  const int ch = d.GetOutputChannels();
  const int bits = d.GetBitsPerSample();
  return rate > 0 && rate <= 768000 && (ch == 1 || ch == 2) && (bits == 8 || bits == 16);
}

}  // namespace

std::unique_ptr<CDecoder> OpenSource(const PipelineContext& ctx, int sourceType,
                                     const std::string& path, int renderRate) {
  if (!ctx.openDecoder) return nullptr;
  auto decoder = ctx.openDecoder(sourceType, path, sourceType == kSourceMusic ? renderRate : 0);
  if (decoder && !UsableStream(*decoder)) {
    decoder->Close();
    decoder.reset();
  }
  return decoder;
}

int BytesOf(int bits) { return bits > 16 ? 4 : bits == 16 ? 2 : 1; }

int Outcome(bool ended, bool closed, const std::string& outputPath, const std::string& sourcePath) {
  const int result = ended && closed ? 1 : 0;
  if (!result) DeleteUnlessSame(outputPath, sourcePath);
  return result;
}

std::size_t ConvertedSamples(int targetRate, int sourceRate) {
  return std::size_t(targetRate / sourceRate + 1) * kDecodeBlock;
}

int TrackNumberOf(const std::string& text) {
  errno = 0;
  const long v = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || v < 0) return 0;
  return static_cast<int>(std::min<long>(v, 0x7fffffff));
}

std::string TitleFromFileName(const std::string& sourcePath) {
  const std::string name = FileNameOf(sourcePath);
  return name.substr(0, name.size() - ExtensionOf(name).size());
}

int UserTrackNumber(const TagRecord& tag, int batchSequenceNumber) {
  if (tag.trackMode == 1) return batchSequenceNumber;
  if (tag.trackMode == 2) return tag.track;
  return 0;
}

}  // namespace wavorax
