#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <functional>

#include "decoders/SourceType.h"
#include "decoders/choice/DecoderChoice.h"
#include "sources/SourceList.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

struct TextCase {
  int type, channels, mode, seconds, kbps, rate;
  int column;
  const char* text;
};
class Columns : public ::testing::TestWithParam<TextCase> {};

TEST_P(Columns, Text) {
  const auto c = GetParam();
  SourceEntry e;
  e.path = "/music/x/Track.wav";
  e.sourceType = c.type;
  e.channels = c.channels;
  e.channelMode = c.mode;
  e.durationSeconds = c.seconds;
  e.bitrateKbps = c.kbps;
  e.sampleRate = c.rate;
  EXPECT_EQ(ColumnText(e, c.column), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Columns,
    ::testing::Values(TextCase{2000, 2, 4, 3725, 0, 0, kColLength, "62:05"},
                      TextCase{2000, 2, 4, 4500, 0, 0, kColLength, "75:00"},
                      TextCase{2000, 2, 4, 5, 0, 0, kColLength, "00:05"},
                      TextCase{5500, 1, 4, 9, 12, 8000, kColLength, ""},
                      TextCase{5500, 1, 4, 9, 12, 8000, kColBitRate, ""},
                      TextCase{5500, 1, 4, 9, 12, 8000, kColFreq, "8000 Hz"},
                      TextCase{5500, 1, 4, 9, 12, 8000, kColChannels, "Mono"},
                      TextCase{2000, 2, 4, 0, 1411, 44100, kColBitRate, "1411 kbps"},
                      TextCase{9000, 6, 4, 0, 0, 0, kColChannels, "6"},
                      TextCase{9000, 0, 4, 0, 0, 0, kColChannels, "Mono"},
                      TextCase{1000, 0, 1, 0, 0, 0, kColChannels, "J-Stereo"},
                      TextCase{1000, 0, 2, 0, 0, 0, kColChannels, "Dual Channel"},
                      TextCase{1000, 2, 4, 0, 0, 0, kColChannels, ""},
                      TextCase{2000, 2, 4, 0, 0, 0, kColFile, "Track.wav"}));

class SourceListTest : public ::testing::Test {
 protected:
  std::string MakeWav(const std::string& name, int rate, int channels, int seconds) {
    const std::string path = dir / name;
    test::WriteWav16(path, test::Sine(440, rate, std::size_t(rate) * seconds * channels), channels,
                     rate);
    return path;
  }
  test::TempDir dir;
  CSourceList list{OpenDecoderFor};
};

TEST_F(SourceListTest, ProbesAndListsAFile) {
  int row = -1;
  ASSERT_EQ(list.AddSourceFile(MakeWav("a.wav", 22050, 2, 3), &row), CSourceList::AddResult::Added);
  EXPECT_EQ(row, 0);
  const SourceEntry& e = list.Entry(0);
  EXPECT_EQ(e.sourceType, kSourceWav);
  EXPECT_EQ(e.sampleRate, 22050);
  EXPECT_EQ(e.channels, 2);
  EXPECT_EQ(list.Text(0, kColLength), "00:03");
  EXPECT_EQ(list.Text(0, kColBitRate), "706 kbps");
  EXPECT_EQ(list.Text(0, kColChannels), "Stereo");
  EXPECT_EQ(list.Text(0, kColStatus), "");
  EXPECT_TRUE(e.outputPath.empty());
}

TEST_F(SourceListTest, SameFileUnderAnotherNameIsAlreadyListed) {
  const std::string path = MakeWav("a.wav", 8000, 1, 1);
  ASSERT_EQ(::symlink(path.c_str(), (dir / "link.wav").c_str()), 0);
  ASSERT_EQ(list.AddSourceFile(path), CSourceList::AddResult::Added);
  EXPECT_EQ(list.AddSourceFile(dir / "link.wav"), CSourceList::AddResult::AlreadyListed);
  EXPECT_EQ(list.AddSourceFile(dir / "./a.wav"), CSourceList::AddResult::AlreadyListed);
  EXPECT_EQ(list.RowCount(), 1);
}

TEST_F(SourceListTest, UndecodableFilesFail) {
  std::ofstream(dir / "noise.ogg") << std::string(4000, 'x');
  std::ofstream(dir / "noise.wav") << "RIFF....WAVEjunk";
  EXPECT_EQ(list.AddSourceFile(dir / "noise.ogg"), CSourceList::AddResult::Failed);
  EXPECT_EQ(list.AddSourceFile(dir / "noise.wav"), CSourceList::AddResult::Failed);
  EXPECT_EQ(list.AddSourceFile(dir / "missing.mp3"), CSourceList::AddResult::Failed);
  // Neither a FIFO (which would block the probe) nor a folder is a source.
  ASSERT_EQ(::mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
  EXPECT_EQ(list.AddSourceFile(dir / "pipe.mp3"), CSourceList::AddResult::Failed);
  EXPECT_EQ(list.AddSourceFile(dir.path()), CSourceList::AddResult::Failed);
  EXPECT_EQ(list.RowCount(), 0);
}

TEST_F(SourceListTest, SortingByKindAndDirection) {
  MakeWav("b.wav", 8000, 1, 2);    // 128 kbps
  MakeWav("B.wav", 11025, 2, 1);   // 352 kbps
  MakeWav("a.wav", 48000, 1, 12);  // 768 kbps
  // A 96 kbps row: 6000 Hz mono 16-bit.
  MakeWav("c.wav", 6000, 1, 61);
  for (const char* n : {"b.wav", "B.wav", "a.wav", "c.wav"})
    ASSERT_EQ(list.AddSourceFile(dir / n), CSourceList::AddResult::Added) << n;
  auto column = [&](int c) {
    std::vector<std::string> out;
    for (int r = 0; r < list.RowCount(); ++r) out.push_back(list.Text(r, c));
    return out;
  };
  list.SortByColumn(kColBitRate);
  const auto rates = column(kColBitRate);
  EXPECT_EQ(rates.front(), "96 kbps");  // numeric, not textual: 96 before 128
  EXPECT_EQ(rates[1], "128 kbps");
  EXPECT_EQ(rates.back(), "768 kbps");
  list.SortByColumn(kColBitRate);
  EXPECT_FALSE(list.sortAscending());
  EXPECT_EQ(column(kColBitRate).front(), "768 kbps");
  list.SortByColumn(kColLength);
  EXPECT_TRUE(list.sortAscending());
  EXPECT_EQ(column(kColLength), (std::vector<std::string>{"00:01", "00:02", "00:12", "01:01"}));
  list.SortByColumn(kColFile);
  // Case-sensitive: "B.wav" sorts apart from "b.wav".
  const auto files = column(kColFile);
  EXPECT_NE(std::find(files.begin(), files.end(), "B.wav"), files.end());
  EXPECT_TRUE(
      std::is_sorted(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return std::strcoll(a.c_str(), b.c_str()) < 0;
      }));
}

// ---- Cells of probed files -----------------------------------------------------------

void Shell(const std::string& command) {
  const test::CommandResult r = test::Run(command);
  ASSERT_EQ(r.exitCode, 0) << command << "\n" << r.output;
}

// A Shorten stream of silent blocks after a verbatim copy of its source's WAV header, the
// only place where such a stream tells its length.
std::vector<std::uint8_t> MakeShorten(std::uint32_t frames) {
  std::vector<bool> bits;
  auto put = [&](std::uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back((v >> i) & 1);
  };
  auto rice = [&](std::uint32_t v, int k) {
    bits.insert(bits.end(), v >> k, false);
    bits.push_back(true);
    put(v & ((1u << k) - 1), k);
  };
  auto value = [&](std::uint32_t v) {
    const int width = static_cast<int>(std::bit_width(v));
    rice(static_cast<std::uint32_t>(width), 2);
    rice(v, width);
  };
  std::vector<std::uint8_t> wav(44);
  std::memcpy(wav.data(), "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0", 24);
  const std::uint32_t fields[] = {44100, 44100 * 4, 0x00100004, 0x61746164, frames * 4};
  for (int i = 0; i < 5; ++i)
    for (int b = 0; b < 4; ++b) wav[24 + 4 * i + b] = static_cast<std::uint8_t>(fields[i] >> 8 * b);
  put(0x616A6B67, 32);                                          // "ajkg"
  put(2, 8);                                                    // version
  for (std::uint32_t v : {5u, 2u, 256u, 0u, 4u, 0u}) value(v);  // s16le, 2 channels, 256 ...
  rice(9, 2);                                                   // verbatim
  rice(static_cast<std::uint32_t>(wav.size()), 5);
  for (std::uint8_t b : wav) rice(b, 8);
  for (std::uint32_t block = 0; block < (frames + 255) / 256 * 2; ++block) rice(8, 2);  // zero
  rice(4, 2);                                                                           // quit
  std::vector<std::uint8_t> out((bits.size() + 7) / 8);
  for (std::size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) out[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
  return out;
}

struct CellCase {
  const char* name;
  const char* file;
  // Makes `out` from `wav` (3.5 s of stereo 44.1 kHz).
  std::function<void(const std::string& wav, const std::string& out)> make;
  const char* length;
  const char* channels;
};

void PrintTo(const CellCase& c, std::ostream* os) { *os << c.name; }

class ProbedCells : public ::testing::TestWithParam<CellCase> {};

// Every MPEG audio file shows its channel mode, and streams whose headers give no length
// show the length of what they hold.
TEST_P(ProbedCells, ShowWhatTheFileHolds) {
  const CellCase& c = GetParam();
  test::TempDir dir;
  const std::string wav = dir / "in.wav", out = dir / c.file;
  test::WriteWav16(wav, test::Sine(440, 44100, 44100 * 7), 2, 44100);
  c.make(wav, out);
  CSourceList list(OpenDecoderFor);
  ASSERT_EQ(list.AddSourceFile(out), CSourceList::AddResult::Added);
  EXPECT_EQ(list.Text(0, kColLength), c.length);
  EXPECT_EQ(list.Text(0, kColChannels), c.channels);
}

std::function<void(const std::string&, const std::string&)> Command(std::string command) {
  return [command](const std::string& wav, const std::string& out) {
    std::string line = command;
    line.replace(line.find("{in}"), 4, test::ShellQuote(wav));
    line.replace(line.find("{out}"), 5, test::ShellQuote(out));
    Shell(line);
  };
}

// `command`, then `edit` on the bytes it wrote.
std::function<void(const std::string&, const std::string&)> Edited(
    std::string command, std::function<void(std::vector<std::uint8_t>&)> edit) {
  return [command, edit](const std::string& wav, const std::string& out) {
    Command(command)(wav, out);
    auto bytes = test::ReadFileBytes(out);
    edit(bytes);
    test::WriteFileBytes(out, bytes);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProbedCells,
    ::testing::Values(
        CellCase{"Mp2Stereo", "t.mp2", Command("ffmpeg -v error -i {in} -c:a mp2 -f mp2 {out}"),
                 "00:03", "Stereo"},
        CellCase{"Mp2Mono", "t.mp2", Command("ffmpeg -v error -i {in} -ac 1 -c:a mp2 -f mp2 {out}"),
                 "00:03", "Mono"},
        CellCase{"Mp1", "t.mp1",
                 [](const std::string&, const std::string& out) {
                   // 48 kHz, 128 kbit/s, stereo, without bit allocations: silence.
                   std::vector<std::uint8_t> bytes;
                   for (int f = 0; f < 440; ++f) {
                     const std::uint8_t header[4] = {0xFF, 0xFF, 0x44, 0x00};
                     bytes.insert(bytes.end(), header, header + 4);
                     bytes.resize(bytes.size() + 124);
                   }
                   test::WriteFileBytes(out, bytes);
                 },
                 "00:03", "Stereo"},
        CellCase{"WavPackWithoutTotal", "t.wv",
                 Edited("wavpack -q -y {in} -o {out}",
                        [](std::vector<std::uint8_t>& b) {
                          // Every block's total sample count: unknown.
                          for (std::size_t at = 0;
                               at + 32 <= b.size() && std::memcmp(&b[at], "wvpk", 4) == 0;
                               at += 8 + (b[at + 4] | b[at + 5] << 8 | b[at + 6] << 16))
                            std::memset(&b[at + 12], 0xFF, 4);
                        }),
                 "00:03", "Stereo"},
        CellCase{"FlacWithUnknownTotal", "t.flac",
                 Edited("flac -s --no-seektable -o {out} {in}",
                        [](std::vector<std::uint8_t>& b) {
                          // The 36-bit total in STREAMINFO: 0, unknown.
                          b[21] &= 0xF0;
                          std::memset(&b[22], 0, 4);
                        }),
                 "00:03", "Stereo"},
        CellCase{"WebmFromAPipe", "t.webm",
                 Command("ffmpeg -v error -i {in} -c:a libopus -f webm - > {out}"), "00:03",
                 "Stereo"},
        CellCase{"Shorten", "t.shn",
                 [](const std::string&, const std::string& out) {
                   test::WriteFileBytes(out, MakeShorten(44100 * 3 + 22050));
                 },
                 "00:03", "Stereo"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SourceListSort, LengthsWithoutColonDoNotBreakTheSort) {
  // AMR rows have an empty Length, which compares equal to anything. A sort must survive
  // that inconsistent order with every row kept.
  test::TempDir dir;
  CSourceList list(OpenDecoderFor);
  for (int i = 0; i < 40; ++i) {
    const std::string p = dir / ("s" + std::to_string(i) + ".wav");
    test::WriteWav16(p, std::vector<std::int16_t>(std::size_t(8000) * (i % 7 + 1)), 1, 8000);
    list.AddSourceFile(p);
    if (i % 3 == 0) {
      const std::string amr = dir / ("a" + std::to_string(i) + ".amr");
      std::ofstream(amr, std::ios::binary) << "#!AMR\n";
      list.AddSourceFile(amr);
    }
  }
  const int rows = list.RowCount();
  ASSERT_GT(rows, 40);
  list.SortByColumn(kColLength);
  list.SortByColumn(kColLength);
  EXPECT_EQ(list.RowCount(), rows);
}

TEST_F(SourceListTest, RemoveSelectedAndAll) {
  for (int i = 0; i < 5; ++i)
    list.AddSourceFile(MakeWav("f" + std::to_string(i) + ".wav", 8000, 1, 1));
  EXPECT_FALSE(list.RemoveSelected());
  EXPECT_EQ(list.RowCount(), 5);
  list.SetSelected(0, true);
  list.SetSelected(2, true);
  list.SetSelected(4, true);
  EXPECT_EQ(list.SelectedRows(), (std::vector<int>{0, 2, 4}));
  EXPECT_TRUE(list.RemoveSelected());
  ASSERT_EQ(list.RowCount(), 2);
  EXPECT_EQ(list.Text(0, kColFile), "f1.wav");
  EXPECT_EQ(list.Text(1, kColFile), "f3.wav");
  EXPECT_TRUE(list.RemoveAll());
  EXPECT_FALSE(list.RemoveAll());
}

}  // namespace
}  // namespace wavorax
