// The options of the later targets and rate controls, driven through their widgets: what the
// pages show for a stored record, what OK stores, what it refuses, and what the MP3 rate
// control enables. Then the sheet's tabs, which must all be in sight.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <functional>

#include "tests/ui/options/OptionsTestSupport.h"
#include "tests/uisupport/RecordingMessenger.h"
#include "ui/options/OptAacPage.h"
#include "ui/options/OptFlacAlacPage.h"
#include "ui/options/OptMp3Page.h"
#include "ui/options/OptOpusVorbisPage.h"
#include "ui/options/OptOutputPage.h"
#include "ui/options/OptSheet.h"
#include "ui/options/OptWavPage.h"

namespace wavorax::ui {
namespace {

using test::Choose;
using test::ChooseData;
using test::Click;
using test::Retype;
using CS = ConversionSettings;

// The sheet opens on `page` with `stored`; `drive` checks what the page shows and changes it;
// OK then stores the record that `stores` makes of the stored one (every other field kept), or
// is refused with `refusal`.
struct PageCase {
  const char* name;
  int page;
  std::function<void(CS&)> stored;
  std::function<void(COptSheet&)> drive;
  std::function<void(CS&)> stores;
  QString refusal;
};
void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

class TargetPage : public testing::TestWithParam<PageCase> {};

TEST_P(TargetPage, ShowsStoresAndRefuses) {
  const PageCase& c = GetParam();
  CS before;
  before.LastOptionsPage = c.page;
  if (c.stored) c.stored(before);
  COptSheet sheet(before, nullptr);
  sheet.show();
  QApplication::setActiveWindow(&sheet);
  if (c.drive) c.drive(sheet);
  Click(sheet.OkButton());
  QApplication::processEvents();

  std::vector<QString> told;
  for (const RecordedMessage& m : Recorder().messages) told.push_back(m.text);
  if (!c.refusal.isEmpty()) {
    EXPECT_EQ(told, std::vector<QString>{c.refusal});
    EXPECT_TRUE(sheet.isVisible());
    return;
  }
  EXPECT_TRUE(told.empty());
  ASSERT_EQ(sheet.result(), QDialog::Accepted);
  CS after = before;
  sheet.WriteBack(after);
  CS expected = before;
  if (c.stores) c.stores(expected);
  EXPECT_EQ(after, expected);
}

// Which of the MP3 page's rate values can be chosen: the CBR bit rate, the VBR quality, the
// ABR bit rate.
void ExpectMp3Enabled(COptMp3Page* p, bool cbr, bool vbr, bool abr) {
  EXPECT_EQ(p->BitRateList()->isEnabled(), cbr);
  EXPECT_EQ(p->VbrQualityList()->isEnabled(), vbr);
  EXPECT_EQ(p->AbrBitRateList()->isEnabled(), abr);
}

void Explicit(CS& s) { s.AutoDestMP3EncodingParam = 0; }

// Cases without changes check Load against Store: OK must give back what the page showed.
const PageCase kCases[] = {
    {"Mp3ConstantByDefaultThenVariable", COptSheet::kMp3Page, Explicit,
     [](COptSheet& s) {
       COptMp3Page* p = s.Mp3Page();
       EXPECT_EQ(p->PresetList()->currentIndex(), 4);  // 44100 Hz, 128 kbps, joint stereo
       ExpectMp3Enabled(p, true, false, false);
       ChooseData(p->ModeList(), kMp3Vbr);
       ExpectMp3Enabled(p, false, true, false);
       EXPECT_EQ(p->PresetList()->currentIndex(), COptMp3Page::kPresetCustom);
       ChooseData(p->VbrQualityList(), 0);
     },
     [](CS& s) {
       s.MP3EncodingMode = kMp3Vbr;
       s.MP3VBRQuality = 0;
     }},
    {"Mp3AverageRoundTrip", COptSheet::kMp3Page,
     [](CS& s) {
       Explicit(s);
       s.MP3EncodingMode = kMp3Abr;
       s.MP3ABRBitRate = 192;
       s.MP3VBRQuality = 7;
     },
     [](COptSheet& s) { ExpectMp3Enabled(s.Mp3Page(), false, false, true); }, nullptr},
    // Under Auto the rate control waits disabled; a preset names a constant bit rate.
    {"Mp3PresetFromAutoIsConstant", COptSheet::kMp3Page, [](CS& s) { s.MP3EncodingMode = kMp3Vbr; },
     [](COptSheet& s) {
       COptMp3Page* p = s.Mp3Page();
       EXPECT_FALSE(p->ModeList()->isEnabled());
       ExpectMp3Enabled(p, false, false, false);
       Choose(p->PresetList(), 3);
       EXPECT_TRUE(p->ModeList()->isEnabled());
       ExpectMp3Enabled(p, true, false, false);
     },
     [](CS& s) {
       s.AutoDestMP3EncodingParam = 0;
       s.MP3SampleRate = 32000;
       s.MP3BitRate = 96;
       s.MP3EncodingMode = kMp3Cbr;
     }},
    {"Mp3OutOfRangeShowsDefaults", COptSheet::kMp3Page,
     [](CS& s) {
       Explicit(s);
       s.MP3EncodingMode = 5;
       s.MP3VBRQuality = 12;
       s.MP3ABRBitRate = 7;
     },
     nullptr,
     [](CS& s) {
       s.MP3EncodingMode = kMp3Cbr;
       s.MP3VBRQuality = 2;
       s.MP3ABRBitRate = 160;
     }},
    {"WavWideWidths", COptSheet::kWavPage,
     [](CS& s) {
       s.AutoDestWAVEncodingParam = 0;
       s.WAVBitsPerSample = 24;
     },
     [](COptSheet& s) {
       EXPECT_EQ(s.WavPage()->BitsList()->currentText(), "24 bits");
       ChooseData(s.WavPage()->BitsList(), 32);
     },
     [](CS& s) { s.WAVBitsPerSample = 32; }},
    {"FlacAlacChanged", COptSheet::kFlacAlacPage,
     [](CS& s) {
       s.FLACCompression = 8;
       s.FLACBitsPerSample = s.ALACBitsPerSample = 16;
       s.VorbisCommentTagType = kTagNone;
     },
     [](COptSheet& s) {
       COptFlacAlacPage* p = s.FlacAlacPage();
       ChooseData(p->FlacBitsList(), 0);
       EXPECT_FALSE(p->TagBox()->EditButton()->isEnabled());
       Click(p->TagBox()->ChoiceButton(kTagAddUser));
       EXPECT_TRUE(p->TagBox()->EditButton()->isEnabled());
     },
     [](CS& s) {
       s.FLACBitsPerSample = 0;
       s.VorbisCommentTagType = kTagAddUser;
     }},
    {"FlacAlacOutOfRangeShowsDefaults", COptSheet::kFlacAlacPage,
     [](CS& s) {
       s.FLACCompression = 9;
       s.FLACBitsPerSample = 24;
       s.ALACBitsPerSample = 8;
     },
     nullptr,
     [](CS& s) {
       s.FLACCompression = 5;
       s.FLACBitsPerSample = s.ALACBitsPerSample = 0;
     }},
    {"OpusVorbisChanged", COptSheet::kOpusVorbisPage, nullptr,
     [](COptSheet& s) {
       COptOpusVorbisPage* p = s.OpusVorbisPage();
       EXPECT_FALSE(p->VorbisBitRateEdit()->isEnabled());
       Retype(p->OpusBitRateEdit(), "96");
       Click(p->OpusVbrBox());
       Click(p->SignalButton(1));
       Click(p->VorbisModeButton(kVorbisByBitRate));
       EXPECT_FALSE(p->VorbisQualitySpin()->isEnabled());
       Retype(p->VorbisBitRateEdit(), "192");
     },
     [](CS& s) {
       s.OpusBitRate = 96;
       s.OpusVBR = 0;
       s.OpusSignal = 1;
       s.VorbisMode = kVorbisByBitRate;
       s.VorbisBitRate = 192;
     }},
    // The quality edit takes a minus sign.
    {"OpusVorbisOutOfRangeShowsDefaults", COptSheet::kOpusVorbisPage,
     [](CS& s) {
       s.OpusBitRate = 600;
       s.OpusSignal = 3;
       s.VorbisMode = 2;
       s.VorbisQuality = 11;
     },
     [](COptSheet& s) {
       EXPECT_EQ(s.OpusVorbisPage()->VorbisQualityEdit()->text(), "5");
       Retype(s.OpusVorbisPage()->VorbisQualityEdit(), "-1");
     },
     [](CS& s) {
       s.OpusBitRate = 128;
       s.OpusSignal = 0;
       s.VorbisMode = kVorbisByQuality;
       s.VorbisQuality = -1;
     }},
    {"OpusBitRateRefused", COptSheet::kOpusVorbisPage, nullptr,
     [](COptSheet& s) { Retype(s.OpusVorbisPage()->OpusBitRateEdit(), "513"); }, nullptr,
     "Please enter an integer between 6 and 512."},
    {"VorbisQualityRefused", COptSheet::kOpusVorbisPage, nullptr,
     [](COptSheet& s) { Retype(s.OpusVorbisPage()->VorbisQualityEdit(), "11"); }, nullptr,
     "Please enter an integer between -1 and 10."},
    // Only the chosen way's value is checked: a bad quality passes under the average bit rate.
    {"VorbisBitRateRefused", COptSheet::kOpusVorbisPage, nullptr,
     [](COptSheet& s) {
       COptOpusVorbisPage* p = s.OpusVorbisPage();
       Retype(p->VorbisQualityEdit(), "11");
       Click(p->VorbisModeButton(kVorbisByBitRate));
       Retype(p->VorbisBitRateEdit(), "16");
     },
     nullptr, "Please enter an integer between 32 and 500."},
    // The General page's library and loudness choices. The folder field keeps the custom
    // folder and the pattern's base apart.
    {"PatternWithSyncAndLoudness", COptSheet::kGeneralPage,
     [](CS& s) {
       s.DestOutputFolderOpt = kFolderCustom;
       s.DestSpecifiedFolder = "/custom/";
     },
     [](COptSheet& s) {
       COptOutputPage* p = s.GeneralPage();
       EXPECT_FALSE(p->PatternEdit()->isEnabled());
       EXPECT_FALSE(p->RemoveOrphansBox()->isEnabled());
       ChooseData(p->OutputFolderList(), kFolderPattern);
       EXPECT_TRUE(p->CustomFolderEdit()->text().isEmpty());
       Retype(p->CustomFolderEdit(), "/base/");
       Retype(p->PatternEdit(), "%artist%/%title%");
       EXPECT_TRUE(p->PatternExampleLabel()->text().startsWith("For example: "));
       Click(p->SyncBox());
       Click(p->RemoveOrphansBox());
       ChooseData(p->ReplayGainList(), 2);
       EXPECT_FALSE(p->NormaliseTargetSpin()->isEnabled());
       Click(p->NormaliseBox());
       p->NormaliseTargetSpin()->setValue(-23);
     },
     [](CS& s) {
       s.DestOutputFolderOpt = kFolderPattern;
       s.NamePatternBase = "/base/";
       s.NamePattern = "%artist%/%title%";
       s.SyncOutputs = s.RemoveOrphans = 1;
       s.ReplayGainMode = 2;
       s.NormaliseLoudness = 1;
       s.NormaliseTarget = -23;
     }},
    // Next to the source there is no one folder to keep in step.
    {"SyncOnlyWithOneFolder", COptSheet::kGeneralPage,
     [](CS& s) {
       s.DestOutputFolderOpt = kFolderSameAsSource;
       s.SyncOutputs = 1;
     },
     [](COptSheet& s) { EXPECT_FALSE(s.GeneralPage()->SyncBox()->isEnabled()); },
     [](CS& s) { s.SyncOutputs = 0; }},
    {"PatternRefused", COptSheet::kGeneralPage,
     [](CS& s) {
       s.DestOutputFolderOpt = kFolderPattern;
       s.NamePatternBase = "/base/";
     },
     [](COptSheet& s) {
       Retype(s.GeneralPage()->PatternEdit(), "%artist%/../%title%");
       EXPECT_FALSE(s.GeneralPage()->PatternExampleLabel()->text().startsWith("For example"));
     },
     nullptr, QString::fromStdString(library::ValidatePattern("%artist%/../%title%"))},
};

INSTANTIATE_TEST_SUITE_P(Pages, TargetPage, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<PageCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(OptionsSheetTabs, AllInSightAndFoundByTarget) {
  COptSheet sheet(CS{}, nullptr);
  sheet.show();
  QApplication::processEvents();
  QTabWidget* tabs = sheet.Tabs();
  QTabBar* bar = tabs->tabBar();
  EXPECT_LE(bar->sizeHint().width(), tabs->width());
  for (int i = 0; i < bar->count(); ++i)
    EXPECT_TRUE(bar->rect().contains(bar->tabRect(i))) << bar->tabText(i).toStdString();
  for (QToolButton* arrow : bar->findChildren<QToolButton*>()) EXPECT_FALSE(arrow->isVisible());

  const std::pair<int, QWidget*> pages[] = {
      {kTargetFlac, sheet.FlacAlacPage()},   {kTargetAlac, sheet.FlacAlacPage()},
      {kTargetOpus, sheet.OpusVorbisPage()}, {kTargetOgg, sheet.OpusVorbisPage()},
      {kTargetMp3, sheet.Mp3Page()},         {kTargetM4b, sheet.M4aPage()}};
  for (const auto& [code, page] : pages) EXPECT_EQ(sheet.PageFor(code), page) << code;
  EXPECT_EQ(sheet.PageFor(0), nullptr);
}

// A stored page index the sheet does not have opens the first page.
class OpensOn : public testing::TestWithParam<std::pair<int, int>> {};
TEST_P(OpensOn, TheStoredPageOrTheFirst) {
  CS settings;
  settings.LastOptionsPage = GetParam().first;
  COptSheet sheet(settings, nullptr);
  EXPECT_EQ(sheet.Tabs()->currentIndex(), GetParam().second);
  EXPECT_EQ(sheet.ActivePage(), GetParam().second);
}
INSTANTIATE_TEST_SUITE_P(
    Indexes, OpensOn,
    testing::Values(std::pair{int{COptSheet::kOpusVorbisPage}, int{COptSheet::kOpusVorbisPage}},
                    std::pair{int{COptSheet::kPageCount}, 0}, std::pair{-1, 0}));

}  // namespace
}  // namespace wavorax::ui
