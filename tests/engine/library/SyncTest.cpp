// A library kept in step: twenty sources converted, then three changed, two removed and one
// added; what the state file survives; the lost sources' outputs into a Trash under a
// temporary XDG_DATA_HOME, and back out of it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <filesystem>
#include <functional>

#include "base/Paths.h"
#include "engine/library/Sync.h"
#include "engine/library/Trash.h"
#include "tests/support/TestSupport.h"

namespace wavorax::library {
namespace {

namespace fs = std::filesystem;

std::string Unescaped(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// The value of `key` in an info file.
std::string InfoValue(const std::string& infoPath, const std::string& key) {
  const auto bytes = test::ReadFileBytes(infoPath);
  const std::string text(bytes.begin(), bytes.end());
  const auto at = text.find("\n" + key + "=");
  if (at == std::string::npos) return {};
  const auto start = at + key.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

// Whether `text` has the shape YYYY-MM-DDThh:mm:ss, the local time a .trashinfo records.
bool LooksLikeLocalTime(const std::string& text) {
  const std::string shape = "dddd-dd-ddTdd:dd:dd";
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < shape.size(); ++i) {
    const bool ok = shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(text[i])) != 0
                                    : text[i] == shape[i];
    if (!ok) return false;
  }
  return true;
}

void WriteSource(const std::string& path, std::size_t frames) {
  CreateFolderPath(path.substr(0, path.rfind('/')));
  test::WriteWav16(path, test::Sine(440, 8000, frames), 1, 8000);
}

// What a batch does with each item it converts: writes the output (its bytes do not matter
// to the decision) and records it.
void Convert(const std::string& base, const SyncPlan& plan, std::uint64_t naming) {
  std::string error;
  const auto journal = SyncJournal::Open(base, error);
  ASSERT_TRUE(journal) << error;
  for (const SyncItem& item : plan.items) {
    if (item.action != SyncAction::Convert) continue;
    const std::string path = base + "/" + item.output;
    CreateFolderPath(path.substr(0, path.rfind('/')));
    test::WriteFileBytes(path, std::vector<std::uint8_t>(100 + item.sourceSize % 7, 1));
    const auto record = RecordOutput(base, item, naming, Check::Passed);
    ASSERT_TRUE(record);
    ASSERT_TRUE(journal->Append(*record));
  }
}

TEST(SyncLibrary, ConvertsWhatChangedAndTrashesWhatLostItsSource) {
  test::TempDir dir;
  const std::string base = dir / "out";
  ASSERT_TRUE(CreateFolderPath(base));
  std::vector<std::string> sources;
  for (int i = 0; i < 20; ++i) {
    sources.push_back(dir / ((i < 10 ? "music/A/" : "music/B/") + std::to_string(i) + ".wav"));
    WriteSource(sources.back(), 800);
  }
  std::string error;
  const auto pattern = NamePattern::Parse("%folder%/%filename%", error);
  ASSERT_TRUE(pattern) << error;
  const std::uint64_t naming = NamingHash(pattern->Text(), "mp3", {});
  int named = 0;
  const OutputNamer counting = [&, namer = PatternNamer(*pattern, "mp3", {})](
                                   const std::string& s) { return ++named, namer(s); };

  Convert(base, PlanSync(base, SyncState::Load(base), sources, naming, counting), naming);
  ASSERT_EQ(named, 20);
  std::size_t damaged = 1;
  SyncState state = SyncState::Load(base, &damaged);
  EXPECT_EQ(state.Size(), 20u);
  EXPECT_EQ(damaged, 0u);
  named = 0;
  EXPECT_EQ(PlanSync(base, state, sources, naming, counting).Count(SyncAction::UpToDate), 20u);
  EXPECT_EQ(named, 0) << "an up-to-date source's tags were read";
  ASSERT_TRUE(state.Save(base, error)) << error;

  for (int i : {0, 1, 2}) WriteSource(sources[i], 900);
  fs::remove(sources[10]);
  fs::remove(sources[11]);
  sources.erase(sources.begin() + 10, sources.begin() + 12);
  sources.push_back(dir / "music/B/new.wav");
  WriteSource(sources.back(), 800);

  const SyncPlan plan = PlanSync(base, SyncState::Load(base), sources, naming, counting);
  std::vector<std::string> converted;
  for (const SyncItem& item : plan.items)
    if (item.action == SyncAction::Convert)
      converted.push_back(item.output + " " + SyncReasonText(item.reason));
  EXPECT_EQ(converted, (std::vector<std::string>{"A/0.mp3 Changed", "A/1.mp3 Changed",
                                                 "A/2.mp3 Changed", "B/new.mp3 New"}));
  // The whole library out of reach (a drive not mounted) and nothing in the batch: no
  // output counts as orphaned.
  fs::rename(dir / "music", dir / "away");
  EXPECT_TRUE(PlanSync(base, SyncState::Load(base), {}, naming, counting).orphans.empty());
  fs::rename(dir / "away", dir / "music");
  ASSERT_EQ(plan.orphans.size(), 2u);
  EXPECT_EQ(plan.orphans[0].output, "B/10.mp3");
  EXPECT_EQ(plan.orphans[1].output, "B/11.mp3");
  EXPECT_EQ(plan.orphans[1].why, SyncOrphan::Why::SourceGone);

  // The orphans into the home trash, with info files that put them back.
  ASSERT_EQ(::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1), 0);
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> trashed;
  for (const SyncOrphan& orphan : plan.orphans) {
    const std::string path = base + "/" + orphan.output;
    const auto bytes = test::ReadFileBytes(path);
    const TrashResult result = MoveToTrash(path);
    ASSERT_TRUE(result.moved) << result.error;
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(Unescaped(InfoValue(result.infoPath, "Path")),
              (fs::canonical(base) / orphan.output).string());
    EXPECT_TRUE(LooksLikeLocalTime(InfoValue(result.infoPath, "DeletionDate")));
    trashed.emplace_back(result.trashedPath, bytes);
  }
  ::unsetenv("XDG_DATA_HOME");
  const auto count = [](const std::string& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
  };
  EXPECT_EQ(count(dir / "data/Trash/files"), 2);
  EXPECT_EQ(count(dir / "data/Trash/info"), 2);
  EXPECT_EQ(PlanSync(base, SyncState::Load(base), sources, naming, counting).stale,
            (std::vector<std::string>{"B/10.mp3", "B/11.mp3"}));

  for (const auto& [inTrash, bytes] : trashed) {
    const std::string info = dir / ("data/Trash/info/" + FileNameOf(inTrash) + ".trashinfo");
    const std::string back = Unescaped(InfoValue(info, "Path"));
    ASSERT_EQ(::rename(inTrash.c_str(), back.c_str()), 0) << back;
    EXPECT_EQ(test::ReadFileBytes(back), bytes);
  }
}

// The state file after the ways it gets damaged: each damaged line costs only its own
// record, and a journal opened after a killed run keeps its first record.
struct DamageCase {
  const char* name;
  std::function<void(std::string&)> damage;
  bool appendAfter;  // a journal then appends d.mp3
  std::vector<std::string> outputs;
  std::size_t damaged;
};

class SyncStateDamage : public ::testing::TestWithParam<DamageCase> {};

SyncRecord Sample(const std::string& output) {
  return {output, "/m/" + output + "\t\\\n.wav", 1234, -5, 99, Check::Passed, 0xABCDEF};
}

TEST_P(SyncStateDamage, LosesOnlyTheDamagedRecords) {
  const DamageCase& c = GetParam();
  test::TempDir base;
  std::string text = "wavorax-sync 1\n";
  for (const char* out : {"a.mp3", "b.mp3", "c.mp3"}) text += RecordLine(Sample(out));
  c.damage(text);
  test::WriteFileBytes(base / kSyncStateName, {text.begin(), text.end()});
  if (c.appendAfter) {
    std::string error;
    const auto journal = SyncJournal::Open(base.path(), error);
    ASSERT_TRUE(journal && journal->Append(Sample("d.mp3"))) << error;
  }
  std::size_t damaged = 99;
  const SyncState state = SyncState::Load(base.path(), &damaged);
  std::vector<std::string> outputs;
  for (const SyncRecord* r : state.Records()) {
    outputs.push_back(r->output);
    EXPECT_EQ(*r, Sample(r->output));
  }
  EXPECT_EQ(outputs, c.outputs);
  EXPECT_EQ(damaged, c.damaged);
  EXPECT_EQ(SyncState::Parse(state.Serialise()).Records().size(), outputs.size());
}

INSTANTIATE_TEST_SUITE_P(
    Damage, SyncStateDamage,
    ::testing::Values(
        DamageCase{"intact", [](std::string&) {}, false, {"a.mp3", "b.mp3", "c.mp3"}, 0},
        DamageCase{"killed_mid_line",
                   [](std::string& t) { t.resize(t.size() - 10); },
                   false,
                   {"a.mp3", "b.mp3"},
                   1},
        DamageCase{"killed_then_resumed",
                   [](std::string& t) { t.resize(t.size() - 10); },
                   true,
                   {"a.mp3", "b.mp3", "d.mp3"},
                   1},
        DamageCase{"changed_byte",
                   [](std::string& t) { t[t.find("1234")] = '2'; },
                   false,
                   {"b.mp3", "c.mp3"},
                   1},
        DamageCase{"garbage_lines",
                   [](std::string& t) { t.insert(15, std::string("\0\xFFgarbage\nR\tx\n", 14)); },
                   false,
                   {"a.mp3", "b.mp3", "c.mp3"},
                   2},
        DamageCase{"outside_the_base",
                   [](std::string& t) { t += RecordLine(Sample("../d.mp3")); },
                   false,
                   {"a.mp3", "b.mp3", "c.mp3"},
                   1},
        DamageCase{"forgotten",
                   [](std::string& t) { t += ForgetLine("b.mp3"); },
                   false,
                   {"a.mp3", "c.mp3"},
                   0},
        DamageCase{"other_version", [](std::string& t) { t[13] = '2'; }, false, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax::library
