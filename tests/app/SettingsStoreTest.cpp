#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QSettings>
#include <cstring>
#include <fstream>

#include "app/SettingsStore.h"
#include "base/Paths.h"
#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string file() const { return dir / "Wavorax.conf"; }
  void WriteRaw(const std::string& text) { std::ofstream(file()) << "[Options]\n" << text; }
  QVariant Raw(const char* key) {
    QSettings s(QString::fromStdString(file()), QSettings::IniFormat);
    return s.value(QString("Options/") + key);
  }
  ConversionSettings Load() {
    ConversionSettings s;
    CSettingsStore(file()).LoadSettings(s);
    return s;
  }

  test::TempDir dir;
};

TEST_F(SettingsStoreTest, NoStoreMeansDefaultsAndNothingWritten) {
  EXPECT_EQ(Load(), ConversionSettings{});
  EXPECT_FALSE(FileExists(file()));
}

TEST_F(SettingsStoreTest, OnlyOutputFormatStored) {
  WriteRaw("OutputFormat=2000\n");
  ConversionSettings expected;
  expected.OutputFormat = kTargetWav;
  EXPECT_EQ(Load(), expected);
}

TEST_F(SettingsStoreTest, SaveGroupsWriteOnlyTheirValues) {
  ConversionSettings s;
  s.Folder = "/music/";
  s.OutputFormat = kTargetM4b;
  s.MP3BitRate = 192;
  EXPECT_EQ(CSettingsStore(file()).SaveSettings(s, 0), 0);
  EXPECT_FALSE(FileExists(file()));

  EXPECT_EQ(CSettingsStore(file()).SaveSettings(s, kSaveOptions), 1);
  EXPECT_FALSE(Raw("OutputFormat").isValid());
  EXPECT_FALSE(Raw("Folder").isValid());
  EXPECT_EQ(Raw("MP3BitRate").toInt(), 192);
  EXPECT_FALSE(Raw("LastOptionsPage").isValid());

  CSettingsStore(file()).SaveSettings(s, kSaveOutputFormat);
  EXPECT_EQ(Raw("OutputFormat").toInt(), kTargetM4b);
  EXPECT_FALSE(Raw("Folder").isValid());
  CSettingsStore(file()).SaveSettings(s, kSaveFolder);
  EXPECT_EQ(Raw("Folder").toString(), "/music/");
}

TEST_F(SettingsStoreTest, EverythingRoundTripsIncludingTagImages) {
  ConversionSettings s;
  s.Folder = "/home/ü/Musik/";
  s.DestSpecifiedFolder = "/data/Out:1";
  s.MP3ID3Tag.title = "Äpfel";
  s.MP3ID3Tag.artist = "Artist";
  s.MP3ID3Tag.genre = 17;
  s.MP3ID3Tag.trackMode = 2;
  s.MP3ID3Tag.track = 7;
  s.M4AID3Tag.useFileNameAsTitle = 0;
  s.M4AID3Tag.comment = "line";
  s.BatchAddWAV = 0;
  s.OutputFormat = kTargetAac;
  s.LastOptionsPage = 3;
  CSettingsStore(file()).SaveSettings(s, kSaveFolder | kSaveOptions | kSaveOutputFormat);

  ConversionSettings expected = s;
  expected.LastOptionsPage = 0;  // every run starts on the first page
  EXPECT_EQ(Load(), expected);

  const QByteArray image = Raw("MP3ID3Tag").toByteArray();
  ASSERT_EQ(image.size(), 152);
  const auto bytes = TagRecordToBytes(s.MP3ID3Tag);
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(bytes.data()), 152), image);
}

struct RawCase {
  const char* line;
  const char* field;
  int expected;
};
class LoadedValues : public SettingsStoreTest, public ::testing::WithParamInterface<RawCase> {};

TEST_P(LoadedValues, AreCorrectedOrIgnored) {
  WriteRaw(std::string(GetParam().line) + "\n");
  const ConversionSettings s = Load();
  EXPECT_EQ(s.*(FindSettingField(GetParam().field)->intField), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LoadedValues,
                         ::testing::Values(RawCase{"M4AID3TagType=3", "M4AID3TagType", 2},
                                           RawCase{"MP3ID3TagType=3", "MP3ID3TagType", 3},
                                           RawCase{"MP3ChannelMode=2", "MP3ChannelMode", 1},
                                           RawCase{"AmplifyWavCoeff=5000", "AmplifyWavCoeff", 3000},
                                           RawCase{"AmplifyAACCoef=5", "AmplifyAACCoef", 5},
                                           // Wrong types and sizes leave the default in place.
                                           RawCase{"MP3BitRate=loud", "MP3BitRate", 128},
                                           RawCase{"MP3BitRate=99999999999", "MP3BitRate", 128},
                                           RawCase{"MP3BitRate=@ByteArray(\\x1\\x2)", "MP3BitRate",
                                                   128},
                                           RawCase{"WAVSampleRate=22050", "WAVSampleRate", 22050}));

// Saving and loading agree on how long a text may be: up to the longest path the system
// takes, counted in bytes of UTF-8. What is saved is loaded again; what would be refused
// is not saved.
struct TextCase {
  std::size_t count;
  const char* unit;
  bool kept;
};
class TextLimits : public SettingsStoreTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextLimits, SaveAndLoadAgree) {
  std::string text = "/";
  for (std::size_t i = 1; text.size() + std::strlen(GetParam().unit) <= GetParam().count;)
    text += (i++ % 200 == 0) ? "/" : GetParam().unit;
  ConversionSettings s;
  s.DestSpecifiedFolder = text;
  s.Folder = "/short/";
  CSettingsStore(file()).SaveSettings(s, kSaveFolder | kSaveOptions);
  const ConversionSettings loaded = Load();
  EXPECT_EQ(loaded.DestSpecifiedFolder, GetParam().kept ? text : std::string());
  EXPECT_EQ(Raw("DestSpecifiedFolder").isValid(), GetParam().kept);
  EXPECT_EQ(loaded.Folder, "/short/");

  // A hand-written text of the same length is judged the same way.
  WriteRaw("DestSpecifiedFolder=" + text + "\n");
  EXPECT_EQ(Load().DestSpecifiedFolder, GetParam().kept ? text : std::string());
}

INSTANTIATE_TEST_SUITE_P(Lengths, TextLimits,
                         ::testing::Values(TextCase{259, "a", true}, TextCase{301, "a", true},
                                           TextCase{4096, "a", true}, TextCase{4097, "a", false},
                                           TextCase{4096, "\xC3\xBC", true},
                                           TextCase{4200, "\xC3\xBC", false}));

TEST_F(SettingsStoreTest, TextOfWrongTypeIsIgnored) {
  WriteRaw("Folder=@ByteArray(abc)\n");
  EXPECT_EQ(Load().Folder, "");
}

TEST_F(SettingsStoreTest, TagImageOfWrongSizeIsIgnored) {
  WriteRaw("MP3ID3Tag=@ByteArray(" + std::string(151, 'x') + ")\nM4AID3Tag=not binary\n");
  const ConversionSettings s = Load();
  EXPECT_EQ(s.MP3ID3Tag, TagRecord{});
  EXPECT_EQ(s.M4AID3Tag, TagRecord{});
}

TEST_F(SettingsStoreTest, WindowGeometryRoundTripsAndDamagedValuesAreLeftOut) {
  EXPECT_EQ(CSettingsStore(file()).LoadWindowGeometry(), WindowGeometry{});
  const WindowGeometry saved{1000, 640, {310, 60, 80, 90, 70}};
  CSettingsStore(file()).SaveWindowGeometry(saved);
  EXPECT_EQ(CSettingsStore(file()).LoadWindowGeometry(), saved);
  {
    QSettings raw(QString::fromStdString(file()), QSettings::IniFormat);
    raw.setValue("Window/Height", -5);
    raw.setValue("Window/ColumnWidths", "310 x 80");
  }
  EXPECT_EQ(CSettingsStore(file()).LoadWindowGeometry(), WindowGeometry{});
}

TEST_F(SettingsStoreTest, FirstRunOnlyOnce) {
  EXPECT_TRUE(CSettingsStore(file()).TakeFirstRun());
  EXPECT_FALSE(CSettingsStore(file()).TakeFirstRun());
  EXPECT_FALSE(CSettingsStore(file()).TakeFirstRun());
}

TEST_F(SettingsStoreTest, FirstRunEveryTimeWhenStoreCannotBeWritten) {
  const std::string blocked = dir / "blocker/Wavorax.conf";  // "blocker" is a regular file
  std::ofstream(dir / "blocker") << "x";
  EXPECT_TRUE(CSettingsStore(blocked).TakeFirstRun());
  EXPECT_TRUE(CSettingsStore(blocked).TakeFirstRun());
}

}  // namespace
}  // namespace wavorax
