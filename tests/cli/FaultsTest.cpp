// wavorax-cli under the faults a careful user meets: kills and signals at any moment, a read
// error and a full disk (a preloaded shim fails the calls), a source cut short while it
// converts, a FIFO as the settings file, and two processes sharing an output folder. What
// must hold: the final name holds nothing or a complete file, a failed row leaves nothing,
// and no two rows report one name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "base/Paths.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

const std::string kCli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";
const std::string kShim = std::string(WAVORAX_BINARY_DIR) + "/tests/libwavorax_fault_shim.so";

// A child wavorax-cli whose JSON lines are read as they come, so that a test can act at a
// chosen point of the conversion (the event, never a time).
class Child {
 public:
  explicit Child(const std::vector<std::string>& args) {
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(kCli.c_str()));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(kCli.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
  }
  ~Child() {
    if (pid_ > 0 && !waited_) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
    if (out_) std::fclose(out_);
  }
  // Reads lines until `stop` holds for one; false at the end of the output.
  bool ReadUntil(const std::function<bool(const std::string&)>& stop) {
    if (!out_) return false;
    char line[8192];
    while (std::fgets(line, sizeof line, out_)) {
      lines_ += line;
      if (stop(line)) return true;
    }
    return false;
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  void CloseOutput() {
    std::fclose(out_);
    out_ = nullptr;
  }
  // The exit code, or 128 + the signal that ended it.
  int Wait() {
    ReadUntil([](const std::string&) { return false; });
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string& lines() const { return lines_; }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
  bool waited_ = false;
  std::string lines_;
};

// One field of a line of --json output: a string's text, or the word that follows the key.
// The paths these tests make hold no quotes, so no unescaping is needed.
std::string FieldOf(const std::string& line, const std::string& key) {
  const std::string marker = "\"" + key + "\":";
  const std::size_t at = line.find(marker);
  if (at == std::string::npos) return {};
  const std::size_t from = at + marker.size();
  if (from < line.size() && line[from] == '"') {
    const std::size_t end = line.find('"', from + 1);
    return end == std::string::npos ? std::string() : line.substr(from + 1, end - from - 1);
  }
  return line.substr(from, line.find_first_of(",}", from) - from);
}

int PercentOf(const std::string& line) {
  if (FieldOf(line, "event") != "progress") return -1;
  const std::string percent = FieldOf(line, "percent");
  return percent.empty() ? -1 : std::stoi(percent);
}

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "home/.config").c_str(), 1);
    std::ofstream(dir / "settings.conf") << "[Options]\nBrowseOutputFolder=0\n";
    fs::create_directories(dir / "out");
  }
  std::string Wav(const std::string& name, double seconds, int rate = 44100) {
    const std::string path = dir / name;
    fs::create_directories(fs::path(path).parent_path());
    std::vector<std::int16_t> s;
    for (auto v : test::Sine(440, rate, static_cast<std::size_t>(rate * seconds)))
      s.insert(s.end(), 2, v);
    test::WriteWav16(path, s, 2, rate);
    return path;
  }
  std::vector<std::string> Args(const std::string& format, const std::string& extra = "") {
    std::vector<std::string> args = {
        "--settings", dir / "settings.conf", "--json", "-j", "1", "-f", format, "-o", dir / "out"};
    if (!extra.empty()) args.push_back(extra);
    return args;
  }
  std::string Cli(const std::string& env, const std::string& args) {
    return env + " " + ShellQuote(kCli) + " --settings " + ShellQuote(dir / "settings.conf") + " " +
           args;
  }
  // Every file left in the output folder, temporary ones included.
  std::set<std::string> Left() {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "out")) names.insert(e.path().filename());
    return names;
  }
  test::TempDir dir;
};

// Killed at ten points of a conversion over an earlier complete output, the output's name
// still holds that earlier file byte for byte; killed with none there, it holds nothing; a
// rerun with "skip" converts it afterwards.
class KilledConversion : public FaultsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(KilledConversion, LeavesTheEarlierFileOrNothing) {
  const std::string format = GetParam();
  const std::string source = Wav("long.wav", 30);
  const std::string output = dir / ("out/long." + format);
  ASSERT_EQ(test::Run(Cli("", "-f " + format + " -o " + ShellQuote(dir / "out") + " " +
                                  ShellQuote(source)))
                .exitCode,
            0);
  const std::vector<std::uint8_t> earlier = test::ReadFileBytes(output);
  ASSERT_FALSE(earlier.empty());
  for (const bool withEarlier : {true, false}) {
    if (!withEarlier) fs::remove(output);
    int killed = 0;
    for (int moment = 0; moment < 10; ++moment) {
      std::vector<std::string> args = Args(format, source);
      args.insert(args.begin(), {"--if-exists", "overwrite"});
      Child child(args);
      child.ReadUntil([&](const std::string& line) { return PercentOf(line) >= moment * 10; });
      child.Signal(SIGKILL);
      const int status = child.Wait();
      if (status == 0) {
        // On a loaded machine the last moments may come after the file was done: then the
        // name holds the complete new file, which is the same conversion as the earlier one.
        EXPECT_TRUE(test::ReadFileBytes(output) == earlier) << "moment " << moment;
        if (!withEarlier) fs::remove(output);
        continue;
      }
      EXPECT_EQ(status, 128 + SIGKILL);
      ++killed;
      if (withEarlier)
        EXPECT_TRUE(test::ReadFileBytes(output) == earlier) << "moment " << moment;
      else
        EXPECT_FALSE(fs::exists(output)) << "moment " << moment;
    }
    EXPECT_GT(killed, 0);
  }
  const test::CommandResult rerun =
      test::Run(Cli("", "--if-exists skip -f " + format + " -o " + ShellQuote(dir / "out") + " " +
                            ShellQuote(source)));
  EXPECT_EQ(rerun.exitCode, 0) << rerun.output;
  EXPECT_TRUE(test::ReadFileBytes(output) == earlier);
}

INSTANTIATE_TEST_SUITE_P(Targets, KilledConversion,
                         ::testing::Values("wav", "mp3", "aac", "m4a", "mp4", "m4b"));

// SIGHUP (a closed terminal or SSH session), SIGTERM and a reader that goes away all cancel:
// the running file loses its partial output, and nothing is left.
class StoppedRun : public FaultsTest, public ::testing::WithParamInterface<int> {};

TEST_P(StoppedRun, LeavesNoPartialOutput) {
  const std::string source = Wav("long.wav", 60);
  Child child(Args("mp3", source));
  child.ReadUntil([](const std::string& line) { return PercentOf(line) >= 5; });
  const int sig = GetParam();
  if (sig == SIGPIPE) {
    child.CloseOutput();  // the reader goes away: the next line the program writes fails
  } else {
    child.Signal(sig);
  }
  EXPECT_EQ(child.Wait(), 130);
  EXPECT_TRUE(Left().empty());
}

INSTANTIATE_TEST_SUITE_P(Signals, StoppedRun, ::testing::Values(SIGHUP, SIGTERM, SIGPIPE),
                         [](const auto& info) {
                           return std::string(info.param == SIGHUP    ? "Hangup"
                                              : info.param == SIGTERM ? "Terminate"
                                                                      : "ClosedOutput");
                         });

// A read error part-way through a source, and a full disk part-way through an output, fail
// that row and leave nothing of it; the batch goes on with the next row.
struct DiskFault {
  const char* source;  // the faulty source's kind
  const char* format;
  bool writeFault;
};
void PrintTo(const DiskFault& f, std::ostream* os) {
  *os << f.source << " to " << f.format << (f.writeFault ? " on a full disk" : " read error");
}
class FailingDisk : public FaultsTest, public ::testing::WithParamInterface<DiskFault> {};

TEST_P(FailingDisk, FailsTheRowAndGoesOn) {
  const DiskFault& f = GetParam();
  const std::string wav = Wav("src/long.wav", 20);
  std::string faulty = wav;
  if (std::string(f.source) != "wav") {
    faulty = dir / (std::string("src/long.") + f.source);
    const std::string tool = std::string(f.source) == "flac"
                                 ? "flac -s -f -o " + ShellQuote(faulty) + " " + ShellQuote(wav)
                                 : "lame --quiet " + ShellQuote(wav) + " " + ShellQuote(faulty);
    ASSERT_EQ(test::Run(tool).exitCode, 0);
  }
  const std::string next = Wav("src/next.wav", 0.2);
  std::string env = "LD_PRELOAD=" + ShellQuote(kShim) + " ASAN_OPTIONS=verify_asan_link_order=0 ";
  if (f.writeFault)
    env +=
        "WAVORAX_FAULT_WRITE_DIR=" + ShellQuote(dir / "out/") + " WAVORAX_FAULT_WRITE_AFTER=65536";
  else
    env += "WAVORAX_FAULT_READ_PATH=" + ShellQuote(faulty) + " WAVORAX_FAULT_READ_AFTER=262144";
  const test::CommandResult r =
      test::Run(Cli(env, std::string("-j 1 -f ") + f.format + " -o " + ShellQuote(dir / "out") +
                             " " + ShellQuote(faulty) + " " + ShellQuote(next)));
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find(faulty + ": Conversion Failure"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(next + ": next." + f.format), std::string::npos) << r.output;
  EXPECT_EQ(Left(), std::set<std::string>{std::string("next.") + f.format});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailingDisk,
    ::testing::Values(DiskFault{"flac", "mp3", false}, DiskFault{"wav", "m4a", false},
                      DiskFault{"mp3", "wav", false}, DiskFault{"wav", "wav", true},
                      DiskFault{"wav", "mp3", true}, DiskFault{"wav", "aac", true},
                      DiskFault{"wav", "m4a", true}));

// A source cut short while it converts fails its row, with --verify or without, and leaves
// no output.
class TruncatedSource : public FaultsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TruncatedSource, FailsItsRow) {
  const std::string source = Wav("long.wav", 60);
  std::vector<std::string> args = Args("mp3", source);
  if (GetParam()) args.insert(args.begin(), "--verify");
  Child child(args);
  child.ReadUntil([](const std::string& line) { return PercentOf(line) >= 5; });
  ASSERT_EQ(::truncate(source.c_str(), 44 + 44100 * 4 * 10), 0);
  EXPECT_EQ(child.Wait(), 1);
  EXPECT_NE(child.lines().find("\"converted\":false"), std::string::npos) << child.lines();
  EXPECT_TRUE(Left().empty());
}

INSTANTIATE_TEST_SUITE_P(Verify, TruncatedSource, ::testing::Bool());

// A source removed while it converts with --verify keeps its complete output, and says why
// it was not verified.
TEST_F(FaultsTest, SourceRemovedWhileConvertingKeepsTheOutput) {
  const std::string source = Wav("long.wav", 30);
  std::vector<std::string> args = Args("wav", source);
  args.insert(args.begin(), "--verify");
  Child child(args);
  child.ReadUntil([](const std::string& line) { return PercentOf(line) >= 5; });
  ASSERT_EQ(::unlink(source.c_str()), 0);
  EXPECT_EQ(child.Wait(), 0) << child.lines();
  EXPECT_NE(child.lines().find("not verified: the source is gone"), std::string::npos)
      << child.lines();
  EXPECT_EQ(Left(), std::set<std::string>{"long.wav"});
  EXPECT_EQ(fs::file_size(dir / "out/long.wav"), 44u + 30u * 44100u * 4u);
}

// A FIFO in place of the settings file is not read (it would wait for a writer for good):
// the defaults stand and the conversion runs.
TEST_F(FaultsTest, FifoAsSettingsFileIsIgnored) {
  const std::string fifo = dir / "fifo.conf";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string source = Wav("short.wav", 0.3);
  const test::CommandResult r =
      test::Run("timeout -k 1 60 " + ShellQuote(kCli) + " --settings " + ShellQuote(fifo) +
                " -f wav -o " + ShellQuote(dir / "out") + " " + ShellQuote(source));
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(fs::exists(dir / "out/short.wav"));
}

// An output that the documents-folder retry placed is shown with its whole path, in text and
// in JSON, so that the user can find it.
TEST_F(FaultsTest, DocumentsFolderRetryShowsTheWholePath) {
  const std::string source = Wav("short.wav", 0.3);
  const std::string documents = dir / "home/Documents/short.wav";
  const std::string args = "-f wav -o /proc/no-such-folder " + ShellQuote(source);
  const test::CommandResult text = test::Run(Cli("", args));
  EXPECT_EQ(text.exitCode, 0) << text.output;
  EXPECT_NE(text.output.find(source + ": " + documents), std::string::npos) << text.output;
  const test::CommandResult json = test::Run(Cli("", "--json " + args));
  EXPECT_NE(json.output.find("\"status\":\"" + dir / "home/Documents/short_1.wav\""),
            std::string::npos)
      << json.output;
}

// Two processes started together over overlapping sources whose outputs share one name: every
// reported output decodes to its own source's length, and no two rows report one name.
class SharedFolder : public FaultsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(SharedFolder, NoTwoRowsShareAName) {
  std::map<std::string, double> seconds;
  std::vector<std::string> sources;
  for (int i = 0; i < 6; ++i) {
    const std::string path = Wav("src" + std::to_string(i) + "/song.wav", 1 + i, 22050);
    sources.push_back(path);
    seconds[path] = 1 + i;
  }
  auto run = [&](int from, int to) {
    std::string list;
    for (int i = from; i < to; ++i) list += " " + ShellQuote(sources[i]);
    return Cli("", "--json -j 2 --if-exists " + std::string(GetParam()) + " -f wav -o " +
                       ShellQuote(dir / "out") + list);
  };
  const test::CommandResult r =
      test::Run("(" + run(0, 4) + " > " + ShellQuote(dir / "a.jsonl") + " & " + run(2, 6) + " > " +
                ShellQuote(dir / "b.jsonl") + "; wait)");
  std::set<std::string> outputs;
  int rows = 0;
  for (const char* file : {"a.jsonl", "b.jsonl"}) {
    std::ifstream in(dir / file);
    for (std::string line; std::getline(in, line);) {
      if (FieldOf(line, "event") != "status" || FieldOf(line, "converted") != "true") continue;
      ++rows;
      const std::string source = FieldOf(line, "path"), output = FieldOf(line, "output");
      EXPECT_TRUE(outputs.insert(output).second) << "two rows report " << output;
      EXPECT_EQ(fs::file_size(output),
                44u + static_cast<std::uintmax_t>(seconds[source] * 22050 * 4))
          << output << " from " << source;
    }
  }
  EXPECT_EQ(rows, 8) << r.output;
  for (const std::string& name : Left()) EXPECT_FALSE(IsTemporaryOutputName(name)) << name;
}

INSTANTIATE_TEST_SUITE_P(Policies, SharedFolder, ::testing::Values("rename", "overwrite"));

}  // namespace
}  // namespace wavorax
