// Open-and-read of the audio-library layer from memory: the stream path first, the music path
// when the stream refuses, then every query, the whole PCM (bounded) and the tags.
#include <cstdint>
#include <vector>

#include "decoders/audiolib/AudioLib.h"
#include "decoders/audiolib/SourceTags.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace wavorax::audiolib;
  // The program's start-up settings; here on every input because the replay of saved inputs
  // in the test run has no initialisation hook.
  ConfigureLibraries();
  std::unique_ptr<Channel> channel = StreamCreateMemory(data, size);
  // A low render rate keeps long songs cheap to render.
  if (!channel) channel = MusicLoadMemory(data, size, kMinMusicRate);
  if (!channel) return 0;

  const ChannelInfo info = channel->GetInfo();
  if (info.frequency <= 0 || info.channels <= 0) __builtin_trap();
  (void)channel->BytesToSeconds(channel->GetLength());
  (void)channel->GetFilePosition(FilePosition::kAudioStart);
  (void)channel->GetFilePosition(FilePosition::kFileSize);

  // Odd request sizes check that only whole frames come back.
  std::vector<std::uint8_t> buffer(4608 + 7);
  const std::uint32_t frameBytes =
      static_cast<std::uint32_t>(info.channels) * ((info.flags & kSample8Bits) ? 1 : 2);
  for (int calls = 0; calls < 4000; ++calls) {
    const std::uint32_t n =
        channel->GetData(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (n == kDataEnd || n == 0) break;
    if (n > buffer.size() || n % frameBytes != 0) __builtin_trap();
  }

  std::size_t tagSize = 0;
  if (const std::uint8_t* tag = channel->GetTags(TagKind::kId3v2, &tagSize)) {
    volatile std::uint8_t last = tag[tagSize - 1];
    (void)last;
  }
  if (const std::uint8_t* tag = channel->GetTags(TagKind::kId3v1, &tagSize)) {
    volatile std::uint8_t last = tag[tagSize - 1];
    (void)last;
  }
  (void)channel->ReadTagText(wavorax::kTagTextFormat);
  return 0;
}
