#include "tests/decoders/audiolib/Fixtures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include "base/ByteOrder.h"
#include "decoders/audiolib/AudioLib.h"
#include "tests/support/TestSupport.h"

namespace wavorax::test {
namespace {

void Put16le(std::vector<std::uint8_t>& v, std::size_t at, unsigned value) {
  PutLe16(v.data() + at, static_cast<std::uint16_t>(value));
}
void Put32le(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t value) {
  PutLe32(v.data() + at, value);
}
void PutText(std::vector<std::uint8_t>& v, std::size_t at, const std::string& s, std::size_t max) {
  std::memcpy(v.data() + at, s.data(), std::min(s.size(), max));
}

// Unreal's compact index: sign and 6 bits in the first byte, then 7 bits per byte.
void AppendIndex(std::vector<std::uint8_t>& v, std::int32_t value) {
  std::uint32_t magnitude = value < 0 ? static_cast<std::uint32_t>(-value) : value;
  std::uint8_t first = (value < 0 ? 0x80 : 0) | (magnitude & 0x3F);
  magnitude >>= 6;
  if (magnitude) first |= 0x40;
  v.push_back(first);
  while (magnitude) {
    std::uint8_t b = magnitude & 0x7F;
    magnitude >>= 7;
    if (magnitude) b |= 0x80;
    v.push_back(b);
  }
}
void Append32le(std::vector<std::uint8_t>& v, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// The start-up settings of the program: damaged copies make FFmpeg warn by the hundred, and
// some ask it for gigabytes.
const bool kStartUp = (audiolib::ConfigureLibraries(), true);

struct FixtureStore {
  TempDir dir;
  std::mutex mutex;
  std::map<std::string, std::string> made;  // file name → path
  bool sourcesMade = false;
  std::size_t sourceDigest = 0;
};

// Encoded fixtures are kept in the build folder between runs: ctest starts every case in a
// process of its own, and encoding them anew each time would cost most of the run. The folder
// of a fixture is named after its command and the source it encodes, so that a change of
// either makes a new one, and a fixture appears under its name only when complete.
std::string CacheFolder(const FixtureStore& store) {
#ifdef WAVORAX_BINARY_DIR
  (void)store;
  return std::string(WAVORAX_BINARY_DIR) + "/tests/decoders/audiolib/fixtures";
#else
  return store.dir.path();
#endif
}

std::string Hex(std::size_t value) {
  char text[2 * sizeof value + 1];
  std::snprintf(text, sizeof text, "%zx", value);
  return text;
}
FixtureStore& Store() {
  static FixtureStore store;
  return store;
}

// Shell arguments for ffmpeg's generic metadata options.
const std::string& FfmpegTags() {
  static const std::string tags =
      " -metadata title=" + ShellQuote(kTitle) + " -metadata artist=" + ShellQuote(kArtist) +
      " -metadata album=" + ShellQuote(kAlbum) + " -metadata date=" + kYear +
      " -metadata genre=" + kGenre + " -metadata comment=" + ShellQuote(kComment) +
      " -metadata track=" + kTrack;
  return tags;
}

}  // namespace

const std::vector<FormatCase>& FormatCases() {
  static const std::vector<FormatCase> cases = [] {
    const std::string ff = "ffmpeg -v error -y -i {in}" + FfmpegTags();
    const std::string lameTags = " --tt " + ShellQuote(kTitle) + " --ta " + ShellQuote(kArtist) +
                                 " --tl " + ShellQuote(kAlbum) + " --ty " + kYear + " --tg " +
                                 kGenre + " --tc " + ShellQuote(kComment) + " --tn " + kTrack;
    const std::string flacTags =
        " -T TITLE=" + ShellQuote(kTitle) + " -T ARTIST=" + ShellQuote(kArtist) +
        " -T ALBUM=" + ShellQuote(kAlbum) + " -T DATE=" + kYear + " -T GENRE=" + kGenre +
        " -T COMMENT=" + ShellQuote(kComment) + " -T TRACKNUMBER=" + kTrack;
    const std::string apeTags =
        " -w Title=" + ShellQuote(kTitle) + " -w Artist=" + ShellQuote(kArtist) +
        " -w Album=" + ShellQuote(kAlbum) + " -w Year=" + kYear + " -w Genre=" + kGenre +
        " -w Comment=" + ShellQuote(kComment) + " -w Track=" + kTrack;
    const std::string mpcTags = " --title " + ShellQuote(kTitle) + " --artist " +
                                ShellQuote(kArtist) + " --album " + ShellQuote(kAlbum) +
                                " --year " + kYear + " --genre " + kGenre + " --comment " +
                                ShellQuote(kComment) + " --track " + kTrack;
    const std::string oggTags = " -t " + ShellQuote(kTitle) + " -a " + ShellQuote(kArtist) +
                                " -l " + ShellQuote(kAlbum) + " -d " + kYear + " -G " + kGenre +
                                " -c COMMENT=" + ShellQuote(kComment) + " -N " + kTrack;
    const std::string spxTags =
        " --title " + ShellQuote(kTitle) + " --comment ARTIST=" + ShellQuote(kArtist) +
        " --comment ALBUM=" + ShellQuote(kAlbum) + " --comment DATE=" + kYear +
        " --comment GENRE=" + kGenre + " --comment COMMENT=" + ShellQuote(kComment) +
        " --comment TRACKNUMBER=" + kTrack;
    auto c = [](const std::string& s) { return s; };
    return std::vector<FormatCase>{
        {"tone.mp3", c("lame --quiet -b 128" + lameTags + " {in} {out}"), 44100, 2, 16, kTagAll},
        {"tone.mp2", c(ff + " -c:a mp2 -b:a 192k -f mp2 {out}"), 44100, 2, 16, 0},
        {"tone.mp1", "", 48000, 2, 16, 0},
        {"tone.wav", c(ff + " {out}"), 44100, 2, 16, kTagAll},
        {"tone8.wav", c("ffmpeg -v error -y -i {in} -ac 1 -c:a pcm_u8 {out}"), 44100, 1, 8, 0},
        {"surround.wav", c("ffmpeg -v error -y -i {in} -ac 6 {out}"), 44100, 6, 16, 0},
        {"tone.ogg", c("oggenc -Q" + oggTags + " -o {out} {in}"), 44100, 2, 16, kTagAll},
        {"tone.oga", c("flac -s -f --ogg" + flacTags + " -o {out} {in}"), 44100, 2, 16, kTagAll},
        {"tone.flac", c("flac -s -f" + flacTags + " -o {out} {in}"), 44100, 2, 16, kTagAll},
        {"tone.wma", c(ff + " -c:a wmav2 {out}"), 44100, 2, 16, kTagAll},
        {"tone.wmv",
         c("ffmpeg -v error -y -i {in} -f lavfi -i color=c=blue:s=64x48:r=10:d=3 -map 0:a -map "
           "1:v" +
           FfmpegTags() + " -c:a wmav2 -c:v wmv2 -f asf {out}"),
         44100, 2, 16, kTagAll},
        {"tone.asf", c(ff + " -c:a wmav2 -f asf {out}"), 44100, 2, 16, kTagAll},
        {"tone.wv", c("wavpack -q" + apeTags + " {in} -o {out}"), 44100, 2, 16, kTagAll},
        {"tone.aac", c(ff + " -c:a aac -b:a 128k -f adts -write_id3v2 1 {out}"), 44100, 2, 16,
         kTagAll},
        {"tone.m4a", c(ff + " -c:a aac -b:a 128k {out}"), 44100, 2, 16, kTagAll},
        {"tone.m4b", c(ff + " -c:a aac -b:a 96k -f ipod {out}"), 44100, 2, 16, kTagAll},
        {"tone.mp4", c(ff + " -c:a alac {out}"), 44100, 2, 16, kTagAll},
        {"surround.ac3", c("ffmpeg -v error -y -i {in} -ac 6 -c:a ac3 {out}"), 44100, 6, 16, 0},
        {"tone.adx", c("ffmpeg -v error -y -i {in} -c:a adpcm_adx {out}"), 44100, 2, 16, 0},
        {"tone.tta", c(ff + " -c:a tta {out}"), 44100, 2, 16, kTagAll},
        {"tone.aiff", c(ff + " -write_id3v2 1 {out}"), 44100, 2, 16, kTagAll},
        {"tone8.aif", c("ffmpeg -v error -y -i {in} -c:a pcm_s8 -f aiff {out}"), 44100, 2, 8, 0},
        {"tone.aifc", c("ffmpeg -v error -y -i {in} -c:a pcm_s16le -f aiff {out}"), 44100, 2, 16,
         0},
        {"tone.spx", c("speexenc" + spxTags + " {in32k} {out}"), 32000, 2, 16, kTagAll},
        {"tone.mpc", c("mpcenc --silent" + mpcTags + " {in} {out}"), 44100, 2, 16, kTagAll},
        {"tone.mp+", c("mpcenc --silent" + mpcTags + " {in} {out}"), 44100, 2, 16, kTagAll},
        {"tone.mpp", c("mpcenc --silent" + mpcTags + " {in} {out}"), 44100, 2, 16, kTagAll},
        {"tune.mod", "", 44100, 2, 16, kTagTitle, true},
        {"tune.s3m", "", 44100, 2, 16, kTagTitle, true},
        {"tune.umx", "", 44100, 2, 16, 0, true},
    };
  }();
  return cases;
}

std::string FixturePath(const FormatCase& fixture) {
  FixtureStore& store = Store();
  std::lock_guard<std::mutex> lock(store.mutex);
  const std::string in = store.dir / "source.wav";
  const std::string in32k = store.dir / "source32k.wav";
  if (!store.sourcesMade) {
    // 3 s of a 440 Hz tone on the left and 660 Hz on the right, so that a swapped or
    // misaligned channel shows in the comparisons.
    const auto left = Sine(440, 44100, 3 * 44100), right = Sine(660, 44100, 3 * 44100, 0.3);
    std::vector<std::int16_t> stereo(left.size() * 2);
    for (std::size_t i = 0; i < left.size(); ++i)
      stereo[2 * i] = left[i], stereo[2 * i + 1] = right[i];
    WriteWav16(in, stereo, 2, 44100);
    const auto left32 = Sine(440, 32000, 3 * 32000), right32 = Sine(660, 32000, 3 * 32000, 0.3);
    std::vector<std::int16_t> stereo32(left32.size() * 2);
    for (std::size_t i = 0; i < left32.size(); ++i)
      stereo32[2 * i] = left32[i], stereo32[2 * i + 1] = right32[i];
    WriteWav16(in32k, stereo32, 2, 32000);
    const auto a = ReadFileBytes(in), b = ReadFileBytes(in32k);
    store.sourceDigest = std::hash<std::string>{}(std::string(a.begin(), a.end())) * 31 +
                         std::hash<std::string>{}(std::string(b.begin(), b.end()));
    store.sourcesMade = true;
  }
  const std::string name = fixture.file;
  std::string& made = store.made[name];
  if (!made.empty()) return made;
  if (fixture.command.empty()) {
    // The writers below are cheap: their fixtures are made in every process.
    const std::string out = store.dir / name;
    if (name == "tone.mp1") WriteFileBytes(out, MakeMp1(375));
    if (name == "tune.mod") WriteFileBytes(out, MakeMod(kModuleTitle));
    if (name == "tune.s3m") WriteFileBytes(out, MakeS3m(kModuleTitle));
    if (name == "tune.umx") WriteFileBytes(out, WrapInUmx(MakeMod(kModuleTitle)));
    return made = out;
  }
  namespace fs = std::filesystem;
  const std::string folder = CacheFolder(store) + "/" +
                             Hex(std::hash<std::string>{}(fixture.command) ^ store.sourceDigest);
  const std::string out = folder + "/" + name;
  std::error_code ec;
  if (fs::exists(out, ec)) return made = out;
  static int counter = 0;
  const std::string work =
      folder + ".part-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
  fs::create_directories(work, ec);
  std::string command = Replace(fixture.command, "{in32k}", ShellQuote(in32k));
  command = Replace(command, "{in}", ShellQuote(in));
  command = Replace(command, "{out}", ShellQuote(work + "/" + name));
  const CommandResult r = Run(command);
  if (r.exitCode != 0) {
    fs::remove_all(work, ec);
    ADD_FAILURE() << "fixture " << name << ": " << command << "\n" << r.output;
    return "";
  }
  fs::create_directories(folder, ec);
  fs::rename(work + "/" + name, out, ec);  // atomic: a parallel maker may have won, which is fine
  fs::remove_all(work, ec);
  return made = out;
}

std::vector<std::uint8_t> MakeS3m(const std::string& title) {
  constexpr std::size_t kInstrument = 0x70, kPattern = 0xC0, kSample = 0x120;
  constexpr std::size_t kSampleBytes = 64;
  std::vector<std::uint8_t> m(kSample + kSampleBytes, 0);
  PutText(m, 0, title, 28);
  m[0x1C] = 0x1A;
  m[0x1D] = 16;
  Put16le(m, 0x20, 2);       // orders
  Put16le(m, 0x22, 1);       // instruments
  Put16le(m, 0x24, 1);       // patterns
  Put16le(m, 0x28, 0x1320);  // made by Scream Tracker 3.20
  Put16le(m, 0x2A, 2);       // unsigned samples
  PutText(m, 0x2C, "SCRM", 4);
  m[0x30] = 64;    // global volume
  m[0x31] = 3;     // speed
  m[0x32] = 125;   // tempo
  m[0x33] = 0xB0;  // stereo, master volume 48
  for (int ch = 0; ch < 32; ++ch) m[0x40 + ch] = ch == 0 ? 0 : ch == 1 ? 8 : 255;
  m[0x60] = 0;    // order 0: pattern 0
  m[0x61] = 255;  // end of song
  Put16le(m, 0x62, kInstrument / 16);
  Put16le(m, 0x64, kPattern / 16);
  // Instrument 1: the sample.
  m[kInstrument] = 1;
  PutText(m, kInstrument + 1, "square.raw", 12);
  m[kInstrument + 0x0D] = 0;
  Put16le(m, kInstrument + 0x0E, kSample / 16);
  Put32le(m, kInstrument + 0x10, kSampleBytes);
  Put32le(m, kInstrument + 0x14, 0);
  Put32le(m, kInstrument + 0x18, kSampleBytes);
  m[kInstrument + 0x1C] = 64;
  m[kInstrument + 0x1F] = 1;  // looped
  Put32le(m, kInstrument + 0x20, 8363);
  PutText(m, kInstrument + 0x30, "square", 28);
  PutText(m, kInstrument + 0x4C, "SCRS", 4);
  // Pattern 0, packed: a note on each channel, then empty rows.
  std::vector<std::uint8_t> rows;
  for (int row = 0; row < 64; ++row) {
    if (row == 0) rows.insert(rows.end(), {0x20, 0x40, 1});   // channel 0: C-4, instrument 1
    if (row == 16) rows.insert(rows.end(), {0x21, 0x45, 1});  // channel 1: F-4
    rows.push_back(0);
  }
  Put16le(m, kPattern, static_cast<unsigned>(rows.size() + 2));
  std::memcpy(m.data() + kPattern + 2, rows.data(), rows.size());
  for (std::size_t i = 0; i < kSampleBytes; ++i) m[kSample + i] = (i % 16) < 8 ? 0xB0 : 0x50;
  return m;
}

std::vector<std::uint8_t> WrapInUmx(const std::vector<std::uint8_t>& module) {
  const char* names[] = {"None", "Music", "Core", "Class", "Tune", "mod"};
  std::vector<std::uint8_t> nameTable;
  for (const char* name : names) {
    nameTable.insert(nameTable.end(), name, name + std::strlen(name) + 1);
    Append32le(nameTable, 0);  // object flags
  }
  // One import: the class Core.Music.
  std::vector<std::uint8_t> imports;
  AppendIndex(imports, 2);  // class package "Core"
  AppendIndex(imports, 3);  // class name "Class"
  Append32le(imports, 0);   // package
  AppendIndex(imports, 1);  // object name "Music"
  // The object: no properties ("None"), its format name, then the module itself.
  std::vector<std::uint8_t> object;
  AppendIndex(object, 0);
  AppendIndex(object, 5);
  AppendIndex(object, static_cast<std::int32_t>(module.size()));
  object.insert(object.end(), module.begin(), module.end());

  const std::uint32_t nameOffset = 36;
  const auto importOffset = static_cast<std::uint32_t>(nameOffset + nameTable.size());
  const auto exportOffset = static_cast<std::uint32_t>(importOffset + imports.size());
  std::vector<std::uint8_t> exports;
  // Offsets below 2^13 fit in a two-byte index, which keeps the layout fixed.
  const auto objectOffset = static_cast<std::uint32_t>(exportOffset + 32);
  AppendIndex(exports, -1);  // class: import 0
  AppendIndex(exports, 0);   // parent
  Append32le(exports, 0);    // package
  AppendIndex(exports, 4);   // object name "Tune"
  Append32le(exports, 0);    // flags
  AppendIndex(exports, static_cast<std::int32_t>(object.size()));
  AppendIndex(exports, static_cast<std::int32_t>(objectOffset));
  exports.resize(32, 0);

  std::vector<std::uint8_t> pkg(36, 0);
  const std::uint8_t magic[4] = {0xC1, 0x83, 0x2A, 0x9E};
  std::memcpy(pkg.data(), magic, 4);
  Put16le(pkg, 4, 61);  // package version
  Put32le(pkg, 12, 6);
  Put32le(pkg, 16, nameOffset);
  Put32le(pkg, 20, 1);
  Put32le(pkg, 24, exportOffset);
  Put32le(pkg, 28, 1);
  Put32le(pkg, 32, importOffset);
  pkg.insert(pkg.end(), nameTable.begin(), nameTable.end());
  pkg.insert(pkg.end(), imports.begin(), imports.end());
  pkg.insert(pkg.end(), exports.begin(), exports.end());
  pkg.insert(pkg.end(), object.begin(), object.end());
  return pkg;
}

std::vector<std::uint8_t> MakeMp1(int frames) {
  // 12 × 128000 / 48000 = 32 slots of 4 bytes, no padding needed at this rate. A frame whose
  // bit allocation is all zero carries no samples: it decodes to 384 frames of silence.
  std::vector<std::uint8_t> out;
  for (int f = 0; f < frames; ++f) {
    std::vector<std::uint8_t> frame(128, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFF;  // MPEG-1, layer I, no CRC
    frame[2] = 0x44;  // 128 kbit/s, 48 kHz
    frame[3] = 0x00;  // stereo
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

std::vector<std::uint8_t> MakeId3v2Latin1Title(const std::string& latin1Title) {
  std::vector<std::uint8_t> frame = {'T', 'I', 'T', '2', 0, 0, 0, 0, 0, 0, 0 /* Latin-1 */};
  frame.insert(frame.end(), latin1Title.begin(), latin1Title.end());
  const auto frameSize = static_cast<std::uint32_t>(frame.size() - 10);
  for (int i = 0; i < 4; ++i) frame[4 + i] = static_cast<std::uint8_t>(frameSize >> (24 - 8 * i));
  const auto body = static_cast<std::uint32_t>(frame.size());
  std::vector<std::uint8_t> tag = {'I',
                                   'D',
                                   '3',
                                   3,
                                   0,
                                   0,
                                   static_cast<std::uint8_t>((body >> 21) & 0x7F),
                                   static_cast<std::uint8_t>((body >> 14) & 0x7F),
                                   static_cast<std::uint8_t>((body >> 7) & 0x7F),
                                   static_cast<std::uint8_t>(body & 0x7F)};
  tag.insert(tag.end(), frame.begin(), frame.end());
  return tag;
}

}  // namespace wavorax::test
