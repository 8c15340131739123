#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <optional>
#include <set>

#include "base/Paths.h"
#include "decoders/SourceType.h"
#include "decoders/audiolib/TagFields.h"
#include "decoders/choice/DecoderChoice.h"
#include "engine/Conversion.h"
#include "engine/Engine.h"
#include "engine/LibraryBatch.h"
#include "sources/SourceList.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::TempDir;

class MemoryProgress : public IConvertProgress {
 public:
  void SetFileText(const std::string& text) override { fileText = text; }
  int FileBarWidth() override { return 300; }
  void SetFileBarRange(int maximum) override { fileMax = maximum; }
  void SetFileBarPos(int position) override { filePos = position; }
  void SetOverallText(const std::string& text) override { overallTexts.push_back(text); }
  void SetOverallRange(int maximum) override { overallMax = maximum; }
  void StepOverall() override { ++overallPos; }
  bool CancelRequested() override { return cancel; }
  void PumpMessages() override { ++pumps; }

  std::string fileText;
  int fileMax = 0, filePos = 0, overallMax = -1, overallPos = 0, pumps = 0;
  std::vector<std::string> overallTexts;
  bool cancel = false;
};

class MemoryHost : public IBatchHost {
 public:
  int RowCount() override { return static_cast<int>(rows.size()); }
  std::vector<int> SelectedRows() override { return selected; }
  SourceEntry& Entry(int row) override { return rows[row]; }
  int SelectedFormatCode() override { return formatCode; }
  void EnsureRowVisible(int row) override { visible.push_back(row); }
  void SetRowStatus(int row, const std::string& text) override { status[row] = text; }
  void RevealOutput(const std::string& path) override { revealed.push_back(path); }
  void ShowInformation(const std::string& text) override { messages.push_back(text); }
  void BeginBatch() override { busy = true; }
  void EndBatch() override { busy = false; }
  IConvertProgress& OpenProgress() override {
    open = true;
    return progress;
  }
  void CloseProgress() override { open = false; }

  std::vector<SourceEntry> rows;
  std::vector<int> selected;
  int formatCode = kTargetWav;
  std::map<int, std::string> status;
  std::vector<int> visible;
  std::vector<std::string> revealed, messages;
  bool busy = false, open = false;
  MemoryProgress progress;
};

// A host with `count` source rows in a temporary folder, and a pipeline that writes a small
// output file unless told otherwise.
class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.OutputFiles2MyDocuments = 0;
    settings.ConvertJobs = 1;
    for (int i = 0; i < 10; ++i) {
      SourceEntry e;
      e.path = dir / ("song" + std::to_string(i) + ".wav");
      std::ofstream(e.path) << "audio";
      e.sourceType = 2000;
      host.rows.push_back(e);
      host.status[i] = "previous";
    }
  }

  // The program's targets, each converting through a pipeline that records the call and
  // writes a small output unless the test says otherwise.
  TargetTable RecordingTargets() {
    TargetTable table = Targets();
    for (TargetInfo& target : table) {
      const int code = target.code;
      target.convert = [this, code](const PipelineContext& ctx, int, const std::string& src,
                                    const std::string& out, IConvertProgress& progress) {
        calls.push_back({code, src, ctx.batchSequenceNumber});
        if (onCall) return onCall(src, out, progress);
        std::ofstream(out) << "converted";
        return 1;
      };
    }
    return table;
  }

  struct Call {
    int code;
    std::string source;
    int sequence;
  };

  TempDir dir;
  ConversionSettings settings;
  MemoryHost host;
  std::vector<Call> calls;
  std::function<int(const std::string&, const std::string&, IConvertProgress&)> onCall;
  TargetTable targets = RecordingTargets();
  CConversionEngine engine{settings, host, nullptr, targets};
};

TEST_F(BatchTest, ConvertSelectedConvertsExactlyTheSelectedRowsInListOrder) {
  host.selected = {2, 5, 7};
  engine.ConvertSelected();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].source, host.rows[2].path);
  EXPECT_EQ(calls[2].source, host.rows[7].path);
  EXPECT_EQ(calls[1].sequence, 2);
  EXPECT_EQ(host.progress.overallTexts,
            (std::vector<std::string>{"Converting 1 of 3 file(s) to WAV...",
                                      "Converting 2 of 3 file(s) to WAV...",
                                      "Converting 3 of 3 file(s) to WAV..."}));
  EXPECT_EQ(host.progress.overallMax, 3);
  EXPECT_EQ(host.status[5], "song5_1.wav");
  EXPECT_EQ(host.status[4], "previous");
  EXPECT_EQ(settings.OutputFormat, kTargetWav);
  EXPECT_FALSE(host.busy);
  EXPECT_FALSE(host.open);
  EXPECT_EQ(host.revealed, std::vector<std::string>{host.rows[2].outputPath});
}

TEST_F(BatchTest, EmptySelectionAndEmptyListOnlyShowANotice) {
  engine.ConvertSelected();
  host.rows.clear();
  engine.ConvertAll();
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(host.messages, (std::vector<std::string>{"You should select a file at least.",
                                                     "There aren't files in list."}));
}

TEST_F(BatchTest, NoFormatSelectedConvertsToMp3) {
  host.formatCode = -1;
  host.selected = {0};
  engine.ConvertSelected();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].code, kTargetMp3);
  EXPECT_EQ(ExtensionOf(host.rows[0].outputPath), ".mp3");
  EXPECT_EQ(settings.OutputFormat, kTargetMp3);
}

TEST_F(BatchTest, CancelDuringSecondOfFiveStopsTheBatch) {
  host.rows.resize(5);
  onCall = [this](const std::string& src, const std::string& out, IConvertProgress& progress) {
    std::ofstream(out) << "partial";
    if (src == host.rows[1].path) {
      host.progress.cancel = true;  // pressed while the second file converts
      ::unlink(out.c_str());        // the pipeline removes its partial output
      return 0;
    }
    (void)progress;
    return 1;
  };
  engine.ConvertAll();
  EXPECT_EQ(calls.size(), 2u);
  EXPECT_EQ(host.status[0], "song0_1.wav");
  EXPECT_EQ(host.status[1], "Cancelled");
  for (int row = 2; row < 5; ++row) EXPECT_EQ(host.status[row], "previous");
  EXPECT_TRUE(host.rows[1].outputPath.empty());
  EXPECT_EQ(host.revealed, std::vector<std::string>{host.rows[0].outputPath});
}

TEST_F(BatchTest, CancelAfterLastBlockKeepsTheFileAndStops) {
  host.rows.resize(3);
  onCall = [this](const std::string&, const std::string& out, IConvertProgress&) {
    std::ofstream(out) << "complete";
    host.progress.cancel = true;  // pressed after the file's last block was written
    return 1;
  };
  engine.ConvertAll();
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(host.status[0], "song0_1.wav");
  EXPECT_EQ(host.status[1], "previous");
  EXPECT_TRUE(FileExists(host.rows[0].outputPath));
  // The converted file was being converted when Cancel came, so it is not revealed.
  EXPECT_TRUE(host.revealed.empty());
}

TEST_F(BatchTest, ZeroSizeOutputIsAConversionFailure) {
  host.rows.resize(2);
  onCall = [](const std::string&, const std::string& out, IConvertProgress&) {
    std::ofstream{out};  // claims success but writes nothing
    return 1;
  };
  engine.ConvertAll();
  EXPECT_EQ(host.status[0], "Conversion Failure");
  EXPECT_EQ(host.status[1], "Conversion Failure");
  EXPECT_TRUE(host.rows[0].outputPath.empty());
  EXPECT_FALSE(FileExists(dir / "song0_1.wav")) << "an empty output is not left behind";
  EXPECT_TRUE(host.revealed.empty());
}

TEST_F(BatchTest, FirstFailsSecondSucceedsRevealsSecond) {
  host.rows.resize(2);
  onCall = [this](const std::string& src, const std::string& out, IConvertProgress&) {
    if (src == host.rows[0].path) return 0;
    std::ofstream(out) << "ok";
    return 1;
  };
  engine.ConvertAll();
  EXPECT_EQ(host.status[0], "Conversion Failure");
  EXPECT_EQ(host.revealed, std::vector<std::string>{host.rows[1].outputPath});
}

TEST_F(BatchTest, NoRevealWhenSwitchedOff) {
  settings.BrowseOutputFolder = 0;
  host.rows.resize(1);
  engine.ConvertAll();
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_TRUE(host.revealed.empty());
}

TEST_F(BatchTest, PathFailureShowsItsMessageAndBatchGoesOn) {
  host.rows.resize(2);
  settings.TargetExistsOpt = kExistsSkip;  // song0.wav itself is the WAV target
  host.formatCode = kTargetWav;
  std::ofstream(dir / "song1.wav") << "x";
  engine.ConvertAll();
  EXPECT_EQ(host.status[0], "Target exists and skipped");
  EXPECT_EQ(host.status[1], "Target exists and skipped");
  EXPECT_TRUE(calls.empty());
}

TEST_F(BatchTest, EachFileStartsAtZeroPercentAndStepsTheOverallBar) {
  host.rows.resize(4);
  std::vector<std::string> seen;
  onCall = [&](const std::string&, const std::string& out, IConvertProgress& progress) {
    seen.push_back(host.progress.fileText);
    EXPECT_EQ(host.progress.filePos, 0);
    EXPECT_EQ(host.progress.overallPos, static_cast<int>(seen.size()));
    (void)progress;
    std::ofstream(out) << "ok";
    return 1;
  };
  engine.ConvertAll();
  EXPECT_EQ(seen.front(), "Converting song0.wav...0%");
  EXPECT_EQ(host.progress.overallPos, 4);
}

// Cancel while an output is being verified stops the check in both ways of converting: the
// output, complete but not verified, is removed and the row says "Cancelled".
class CancelDuringVerification : public BatchTest, public ::testing::WithParamInterface<int> {};

TEST_P(CancelDuringVerification, RemovesTheOutputAndSaysCancelled) {
  const int jobs = GetParam();
  const std::string source = dir / "tone.wav";
  test::WriteWav16(source, test::Sine(440, 22050, 22050), 1, 22050);
  settings.VerifyOutputs = 1;
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "out";
  settings.OutputFormat = kTargetWav;
  SourceEntry entry;
  entry.path = source;
  entry.sourceType = SourceTypeOf(source);
  host.rows = {entry};
  SourceEntry& row = jobs == 1 ? host.rows[0] : entry;
  std::atomic<bool> cancel{false};
  // The check opens the output again (still under its temporary name): that is when Cancel
  // is pressed.
  const DecoderOpener open = [&](int type, const std::string& path, int rate) {
    if (IsTemporaryOutputName(FileNameOf(path))) {
      cancel = true;
      host.progress.cancel = true;
    }
    return OpenDecoderFor(type, path, rate);
  };
  std::string status;
  if (jobs == 1) {
    CConversionEngine real(settings, host, open);
    real.ConvertAll();
    status = host.status[0];
  } else {
    const BatchContext batch{settings, *FindTarget(Targets(), kTargetWav), open};
    BatchEvents events;
    events.onFinish = [&](int, const RowResult& r) { status = r.status; };
    RunParallelBatch(batch, {&entry}, jobs, cancel, events);
  }
  EXPECT_EQ(status, "Cancelled");
  EXPECT_TRUE(row.outputPath.empty());
  EXPECT_FALSE(FileExists(dir / "out/tone.wav"));
  EXPECT_TRUE(FileExists(source));
}

INSTANTIATE_TEST_SUITE_P(Jobs, CancelDuringVerification, ::testing::Values(1, 2));

// Album tags come once the last track of an album is done, the same whichever job finishes
// first; Cancel during the album's last track leaves its finished tracks without them.
class AlbumTags : public BatchTest, public ::testing::WithParamInterface<std::tuple<int, bool>> {};

TEST_P(AlbumTags, AreWrittenOnceTheAlbumIsCompleteAndNotAfterCancel) {
  if (!test::HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
  const int jobs = std::get<0>(GetParam());
  const bool cancelLast = std::get<1>(GetParam());
  std::vector<SourceEntry> rows(3);
  std::vector<SourceEntry*> entries;
  for (int i = 0; i < 3; ++i) {
    rows[i].path = dir / ("t" + std::to_string(i) + ".wav");
    ASSERT_EQ(
        test::Run("ffmpeg -v error -f lavfi -i sine=frequency=" + std::to_string(300 + 200 * i) +
                  ":duration=1 -metadata album=A " + test::ShellQuote(rows[i].path))
            .exitCode,
        0);
    rows[i].sourceType = SourceTypeOf(rows[i].path);
    entries.push_back(&rows[i]);
  }
  settings.ReplayGainMode = 2;
  settings.OutputFormat = kTargetFlac;
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "out";
  std::atomic<bool> cancel{false};
  const DecoderOpener open = [&](int type, const std::string& path, int rate) {
    if (cancelLast && path == rows[2].path) cancel = true;
    return OpenDecoderFor(type, path, rate);
  };
  const BatchContext batch{settings, *FindTarget(Targets(), kTargetFlac), open};
  BatchEvents events;
  int albums = 0;
  events.onFinish = [&](int, const RowResult& r) {
    if (r.album) albums += r.album->tagged;
  };
  RunParallelBatch(batch, entries, jobs, cancel, events);
  std::set<std::string> albumGains;
  int converted = 0;
  for (const SourceEntry& row : rows) {
    if (row.outputPath.empty()) continue;
    ++converted;
    const audiolib::TagMap tags = audiolib::ReadTagMap(row.outputPath);
    EXPECT_FALSE(audiolib::FirstValue(tags, "REPLAYGAIN_TRACK_GAIN").empty()) << row.outputPath;
    albumGains.insert(audiolib::FirstValue(tags, "REPLAYGAIN_ALBUM_GAIN"));
  }
  if (cancelLast) {
    EXPECT_LT(converted, 3);
    EXPECT_EQ(albumGains, std::set<std::string>({""}));
    EXPECT_EQ(albums, 0);
  } else {
    EXPECT_EQ(converted, 3);
    ASSERT_EQ(albumGains.size(), 1u);
    EXPECT_FALSE(albumGains.begin()->empty());
    EXPECT_EQ(albums, 3);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AlbumTags,
                         ::testing::Combine(::testing::Values(1, 2), ::testing::Bool()));

// A source goes to the Trash only once its own output was written and passed its check, which
// runs for it even with VerifyOutputs off. Real WAV sources through the real WAV pipeline;
// `cut` shortens the output after the pipeline so that its check fails. (An output over the
// source itself is refused before it converts: CliLibraryTest.)
struct TrashCase {
  const char* name;
  bool cut, moved;
  const char* status;  // how the row's Status begins
};
void PrintTo(const TrashCase& c, std::ostream* os) { *os << c.name; }
class TrashSources : public ::testing::TestWithParam<TrashCase> {};

TEST_P(TrashSources, OnlyAfterAVerifiedOutput) {
  const TrashCase& c = GetParam();
  TempDir dir;
  setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
  const std::string source = dir / "song.wav";
  test::WriteWav16(source, test::Sine(440, 8000, 8000), 1, 8000);
  std::optional<SourceEntry> entry = CSourceList::Probe(OpenDecoderFor, source);
  ASSERT_TRUE(entry);
  ConversionSettings settings;
  settings.OutputFormat = kTargetWav;
  settings.OutputFiles2MyDocuments = 0;
  settings.TrashSources = 1;
  settings.TargetExistsOpt = kExistsOverwrite;
  settings.DestOutputFolderOpt = kFolderCustom;
  settings.DestSpecifiedFolder = dir / "out";
  TargetInfo target = *FindTarget(Targets(), kTargetWav);
  const PipelineFunction real = target.convert;
  target.convert = [&](const PipelineContext& ctx, int type, const std::string& src,
                       const std::string& out, IConvertProgress& progress) {
    const int result = real(ctx, type, src, out, progress);
    if (c.cut) ::truncate(out.c_str(), 44 + 4000);
    return result;
  };
  const BatchContext batch{settings, target, OpenDecoderFor};
  std::atomic<bool> cancel{false};
  RowResult row;
  BatchEvents events;
  events.onFinish = [&](int, const RowResult& r) { row = r; };
  std::vector<SourceEntry*> entries{&*entry};
  RunParallelBatch(batch, entries, 1, cancel, events);
  EXPECT_EQ(row.status.rfind(c.status, 0), 0u) << row.status;
  EXPECT_EQ(row.sourceTrashed, c.moved);
  EXPECT_EQ(FileExists(source), !c.moved);
  EXPECT_EQ(FileExists(dir / "data/Trash/files/song.wav"), c.moved);
  EXPECT_EQ(FileExists(dir / "data/Trash/info/song.wav.trashinfo"), c.moved);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrashSources,
    ::testing::Values(TrashCase{"verified", false, true, "song.wav (source moved"},
                      TrashCase{"failed check", true, false, "Verification Failure"}));

}  // namespace
}  // namespace wavorax

namespace wavorax {
namespace {

// The batch's time left counts every running file's share: two 100 s files at 25 % each after
// 10 s have done 50 of 200 s, so 150 s are left at 5 s of audio a second, 30 s; nothing is
// said in the first five seconds, and a file found up to date leaves the total.
TEST(BatchTimeLeft, CountsEveryRunningFileAfterFiveSeconds) {
  double now = 0;
  std::vector<SourceEntry> rows(3);
  for (SourceEntry& e : rows) e.durationSeconds = 100;
  std::vector<SourceEntry*> entries{&rows[0], &rows[1], &rows[2]};
  BatchTimeLeft left(entries, [&now] { return now; });
  left.Dropped(2);
  now = 4;
  left.Progressed(0, 25);
  left.Progressed(1, 25);
  EXPECT_EQ(left.Text(), "");
  now = 10;
  EXPECT_EQ(left.Text(), library::TimeLeft::TextOf(30.0));
  EXPECT_EQ(left.Changed(), left.Text());
  EXPECT_EQ(left.Changed(), std::nullopt);
}

}  // namespace
}  // namespace wavorax
