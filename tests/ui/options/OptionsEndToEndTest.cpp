// Options changed in the sheet reach the files a conversion from the main window writes.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "controls/SkinButton.h"
#include "tests/ui/main/UiFixture.h"
#include "tests/ui/options/OptionsTestSupport.h"
#include "ui/options/OptMp3Page.h"
#include "ui/options/OptOutputPage.h"
#include "ui/options/OptSheet.h"
#include "ui/options/TagEditDlg.h"

namespace wavorax::ui {
namespace {

namespace fs = std::filesystem;
using test::Click;
using test::Retype;

using OptionsEndToEnd = test::MainWindowFixture;

TEST_F(OptionsEndToEnd, SheetChoicesShapeTheConvertedFile) {
  Start();
  Add({Tone("tone.wav")});
  const std::string out = media / "out";
  fs::create_directories(out);

  test::WhenModalOpens<COptSheet>([&out](COptSheet& sheet) {
    COptOutputPage* general = sheet.GeneralPage();
    test::ChooseData(general->OutputFolderList(), kFolderCustom);
    test::WhenModalOpens<QFileDialog>([&out](QFileDialog& browse) {
      browse.setDirectory(QString::fromStdString(out));
      Click(browse.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open));
    });
    Click(general->BrowseButton());
    EXPECT_EQ(general->CustomFolderEdit()->text().toStdString(), out + "/");
    Click(general->BrowseOutputBox());
    test::ClickTab(sheet.Tabs(), COptSheet::kMp3Page);
    COptMp3Page* mp3 = sheet.Mp3Page();
    test::Choose(mp3->PresetList(), 2);  // 22050 Hz, 32 kbps, joint stereo
    Click(mp3->TagBox()->ChoiceButton(kTagAddUser));
    test::WhenModalOpens<CTagEditDlg>([](CTagEditDlg& editor) {
      Click(editor.UseFileName());
      Retype(editor.TitleEdit(), "Sheet Title");
      Retype(editor.ArtistEdit(), "Sheet Artist");
      Click(editor.OkButton());
    });
    Click(mp3->TagBox()->EditButton());
    Click(sheet.OkButton());
  });
  Click(window->button(CMainDlg::kOptions));
  ASSERT_EQ(window->settings().MP3SampleRate, 22050);

  window->formatCombo()->setCurrentIndex(window->formatCombo()->findData(kTargetMp3));
  Click(window->button(CMainDlg::kConvertAll));
  const std::string mp3 = out + "/tone.mp3";
  ASSERT_EQ(Status(0), "tone.mp3");
  EXPECT_EQ(wavorax::test::FfprobeStream(mp3, "sample_rate"), "22050");
  EXPECT_EQ(wavorax::test::FfprobeStream(mp3, "bit_rate"), "32000");
  EXPECT_EQ(wavorax::test::FfprobeTag(mp3, "title"), "Sheet Title");
  EXPECT_EQ(wavorax::test::FfprobeTag(mp3, "artist"), "Sheet Artist");
  EXPECT_TRUE(Recorder().messages.empty());

  // The sheet saved its options: a new start reads them back.
  CSettingsStore restarted;
  ConversionSettings loaded;
  restarted.LoadSettings(loaded);
  EXPECT_EQ(loaded.MP3BitRate, 32);
  EXPECT_EQ(loaded.MP3ID3Tag.title, "Sheet Title");
  EXPECT_EQ(loaded.DestSpecifiedFolder, out + "/");
}

}  // namespace
}  // namespace wavorax::ui
