#include "tests/decoders/cd/CdImages.h"

#include <fstream>

#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

constexpr std::size_t kSectorSamples = 588 * 2;

void PadToSector(std::vector<std::int16_t>& s) {
  s.resize((s.size() + kSectorSamples - 1) / kSectorSamples * kSectorSamples, 0);
}

std::vector<std::int16_t> Stereo(double hz, std::size_t frames) {
  const std::vector<std::int16_t> mono = Sine(hz, 44100, frames, 0.4);
  std::vector<std::int16_t> out;
  for (std::size_t i = 0; i < mono.size(); ++i) {
    out.push_back(mono[i]);
    out.push_back(static_cast<std::int16_t>(-mono[i] / 2));  // the channels differ
  }
  return out;
}

std::string Msf(std::size_t samples) {
  const std::size_t sectors = samples / kSectorSamples;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02zu:%02zu:%02zu", sectors / 4500, sectors / 75 % 60,
                sectors % 75);
  return buf;
}

}  // namespace

CdImage MakeCdImage(const std::string& folder) {
  CdImage image;
  // Lengths that are no whole number of sectors, one of them over two seconds.
  std::vector<std::int16_t> t1 = Stereo(440, 44100 * 2 + 100);
  std::vector<std::int16_t> gap = Stereo(1000, 588 * 10);  // pregap of track 2: 10 sectors
  std::vector<std::int16_t> t2 = Stereo(660, 30001);
  std::vector<std::int16_t> t3 = Stereo(880, 588 * 5 + 17);
  PadToSector(t1);
  PadToSector(t2);
  PadToSector(t3);

  std::vector<std::int16_t> bin = t1;
  const std::size_t gapAt = bin.size();
  bin.insert(bin.end(), gap.begin(), gap.end());
  const std::size_t t2At = bin.size();
  bin.insert(bin.end(), t2.begin(), t2.end());
  const std::size_t t3At = bin.size();
  bin.insert(bin.end(), t3.begin(), t3.end());
  // A mixed-mode disc: raw data sectors after the audio, in the same file.
  const std::size_t dataAt = bin.size();
  bin.insert(bin.end(), kSectorSamples * 4, 0x5a5a);
  std::ofstream(folder + "/disc.bin", std::ios::binary)
      .write(reinterpret_cast<const char*>(bin.data()),
             static_cast<std::streamsize>(bin.size() * 2));
  std::ofstream(folder + "/data.bin", std::ios::binary) << std::string(2352 * 4, '\x5a');

  image.cue = folder + "/My Album.cue";
  std::ofstream(image.cue)
      << "REM GENRE Jazz\nREM DATE 1999\nTITLE \"Cue Album\"\n"
         "PERFORMER \"Cue Band\"\nFILE \"disc.bin\" BINARY\n"
         "  TRACK 01 AUDIO\n    TITLE \"First Song\"\n    INDEX 01 00:00:00\n"
         "  TRACK 02 AUDIO\n    TITLE \"Second Song\"\n    PERFORMER \"Guest\"\n"
      << "    INDEX 00 " << Msf(gapAt) << "\n    INDEX 01 " << Msf(t2At) << "\n"
      << "  TRACK 03 AUDIO\n    INDEX 01 " << Msf(t3At) << "\n"
      << "  TRACK 04 MODE1/2352\n    INDEX 01 " << Msf(dataAt) << "\n"
      << "FILE \"data.bin\" BINARY\n  TRACK 05 MODE1/2048\n    INDEX 01 00:00:00\n";
  // The same tracks as a TOC whose file name is relative to it.
  image.toc = folder + "/disc.toc";
  std::ofstream(image.toc) << "CD_DA\nTRACK AUDIO\nFILE \"disc.bin\" 00:00:00 " << Msf(t2At) << "\n"
                           << "TRACK AUDIO\nFILE \"disc.bin\" " << Msf(t2At) << " "
                           << Msf(t3At - t2At) << "\n"
                           << "TRACK AUDIO\nFILE \"disc.bin\" " << Msf(t3At) << " "
                           << Msf(t3.size()) << "\n";

  t1.insert(t1.end(), gap.begin(), gap.end());
  image.tracks = {t1, t2, t3};
  for (const auto& t : image.tracks)
    image.seconds.push_back(static_cast<int>(t.size() / 2 / 44100));
  return image;
}

}  // namespace wavorax::test
