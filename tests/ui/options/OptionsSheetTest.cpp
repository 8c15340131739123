// The options sheet and its pages, driven through their widgets: what OK stores, what it
// refuses, and what the pages enable.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <functional>

#include "app/SettingsStore.h"
#include "tests/ui/options/OptionsTestSupport.h"
#include "tests/uisupport/RecordingMessenger.h"
#include "ui/options/OptAacPage.h"
#include "ui/options/OptMp3Page.h"
#include "ui/options/OptOutputPage.h"
#include "ui/options/OptSheet.h"
#include "ui/options/OptWavPage.h"
#include "ui/options/PageValues.h"
#include "ui/options/TagEditDlg.h"

namespace wavorax::ui {
namespace {

using test::Choose;
using test::ChooseData;
using test::Click;
using test::ClickTab;
using test::Retype;
using CS = ConversionSettings;

// One session with the sheet: the settings it opens on, what the user does (ending with OK or
// Cancel), what the user is told, and what the settings then hold.
struct SheetCase {
  std::function<void(CS&)> prepare;
  std::function<void(COptSheet&)> drive;
  QString message;  // the one message expected, or none; the sheet closes without one
  std::function<void(const CS& before, const CS& after)> check;
};
void PrintTo(const SheetCase&, std::ostream* os) { *os << "SheetCase"; }

class SheetSession : public testing::TestWithParam<SheetCase> {};

TEST_P(SheetSession, StoresWhatTheUserChose) {
  const SheetCase& c = GetParam();
  CS before;
  if (c.prepare) c.prepare(before);
  COptSheet sheet(before, nullptr);
  sheet.show();
  QApplication::setActiveWindow(&sheet);
  c.drive(sheet);
  QApplication::processEvents();

  std::vector<QString> expected;
  if (!c.message.isEmpty()) expected.push_back(c.message);
  std::vector<QString> told;
  for (const RecordedMessage& m : Recorder().messages) {
    told.push_back(m.text);
    EXPECT_EQ(m.icon, MessageIcon::Warning);
  }
  EXPECT_EQ(told, expected);
  EXPECT_EQ(sheet.isVisible(), !c.message.isEmpty());
  CS after = before;
  if (sheet.result() == QDialog::Accepted) sheet.WriteBack(after);
  if (c.check) c.check(before, after);
}

void Ok(COptSheet& s) { Click(s.OkButton()); }
void Cancel(COptSheet& s) { Click(s.CancelButton()); }

INSTANTIATE_TEST_SUITE_P(
    General, SheetSession,
    testing::Values(
        // A custom folder needs a folder: OK keeps the sheet open with the focus in the edit.
        SheetCase{nullptr,
                  [](COptSheet& s) {
                    ChooseData(s.GeneralPage()->OutputFolderList(), kFolderCustom);
                    Ok(s);
                    EXPECT_EQ(s.focusWidget(), s.GeneralPage()->CustomFolderEdit());
                  },
                  "Please choose an output folder.", nullptr},
        SheetCase{
            [](CS& s) { s.DestOutputFolderOpt = kFolderCustom; },
            [](COptSheet& s) {
              ChooseData(s.GeneralPage()->OutputFolderList(), kFolderSameAsSource);
              Ok(s);
            },
            {},
            [](const CS&, const CS& a) { EXPECT_EQ(a.DestOutputFolderOpt, kFolderSameAsSource); }},
        // The custom folder's controls follow the list both ways.
        SheetCase{nullptr,
                  [](COptSheet& s) {
                    COptOutputPage* g = s.GeneralPage();
                    QWidget* four[] = {g->CustomFolderEdit(), g->BrowseButton(), g->CreateDirsBox(),
                                       g->ExampleLabel()};
                    for (QWidget* w : four) EXPECT_FALSE(w->isEnabled());
                    ChooseData(g->OutputFolderList(), kFolderCustom);
                    for (QWidget* w : four) EXPECT_TRUE(w->isEnabled());
                    ChooseData(g->OutputFolderList(), kFolderSameAsSource);
                    for (QWidget* w : four) EXPECT_FALSE(w->isEnabled());
                    Cancel(s);
                  },
                  {},
                  nullptr},
        SheetCase{nullptr,
                  [](COptSheet& s) {
                    Click(s.GeneralPage()->UncheckAllButton());
                    Cancel(s);
                  },
                  {},
                  [](const CS& b, const CS& a) { EXPECT_EQ(a, b); }},
        SheetCase{nullptr,
                  [](COptSheet& s) {
                    Click(s.GeneralPage()->UncheckAllButton());
                    Click(s.GeneralPage()->ExtensionBox(".flac"));
                    Ok(s);
                  },
                  {},
                  [](const CS&, const CS& a) {
                    for (const BatchAddFlag& f : BatchAddFlags())
                      EXPECT_EQ(a.*f.field, std::string(f.extension) == ".flac") << f.name;
                    EXPECT_EQ(a.BatchAddCUE, 0);
                  }},
        SheetCase{[](CS& s) { s.BatchAddCUE = 0; },
                  [](COptSheet& s) {
                    Click(s.GeneralPage()->ExtensionBox(".cue, .toc, .nrg (CD images)"));
                    Ok(s);
                  },
                  {},
                  [](const CS&, const CS& a) { EXPECT_EQ(a.BatchAddCUE, 1); }},
        // A code outside the list shows the first item, which OK stores...
        SheetCase{[](CS& s) { s.TargetExistsOpt = 44; },
                  [](COptSheet& s) {
                    EXPECT_EQ(s.GeneralPage()->TargetExistsList()->currentText(),
                              "Auto rename (add number at end of file name)");
                    Ok(s);
                  },
                  {},
                  [](const CS&, const CS& a) { EXPECT_EQ(a.TargetExistsOpt, 11); }},
        // ...but a page never shown hands its fields back unchanged.
        SheetCase{[](CS& s) {
                    s.TargetExistsOpt = 44;
                    s.LastOptionsPage = COptSheet::kWavPage;
                  },
                  Ok,
                  {},
                  [](const CS&, const CS& a) { EXPECT_EQ(a.TargetExistsOpt, 44); }},
        // A count past the range shows as its nearest end.
        SheetCase{[](CS& s) { s.ConvertJobs = 70; },
                  [](COptSheet& s) {
                    QSpinBox* jobs = s.GeneralPage()->JobsSpin();
                    EXPECT_EQ(jobs->value(), 64);
                    jobs->setFocus();
                    jobs->selectAll();
                    QTest::keyClicks(jobs, "3");
                    // On its box: the row is wider than what a click hits.
                    QCheckBox* verify = s.GeneralPage()->VerifyBox();
                    QTest::mouseClick(verify, Qt::LeftButton, {}, QPoint(6, verify->height() / 2));
                    QCheckBox* look = s.GeneralPage()->DesktopLookBox();
                    EXPECT_FALSE(look->isChecked());
                    QTest::mouseClick(look, Qt::LeftButton, {}, QPoint(6, look->height() / 2));
                    Ok(s);
                  },
                  {},
                  [](const CS&, const CS& a) {
                    EXPECT_EQ(a.ConvertJobs, 3);
                    EXPECT_EQ(a.VerifyOutputs, 1);
                    EXPECT_EQ(a.UseDesktopLook, 1);
                  }}));

INSTANTIATE_TEST_SUITE_P(
    Mp3, SheetSession,
    testing::Values(SheetCase{[](CS& s) { s.LastOptionsPage = COptSheet::kMp3Page; },
                              [](COptSheet& s) {
                                COptMp3Page* p = s.Mp3Page();
                                EXPECT_FALSE(p->BitRateList()->isEnabled());
                                EXPECT_FALSE(p->ChannelButton(0)->isEnabled());
                                Choose(p->PresetList(), 3);
                                EXPECT_TRUE(p->BitRateList()->isEnabled());
                                EXPECT_EQ(p->SampleRateList()->currentData().toInt(), 32000);
                                EXPECT_EQ(p->BitRateList()->currentData().toInt(), 96);
                                EXPECT_TRUE(p->ChannelButton(0)->isChecked());
                                Ok(s);
                              },
                              {},
                              [](const CS&, const CS& a) {
                                EXPECT_EQ(a.AutoDestMP3EncodingParam, 0);
                                EXPECT_EQ(a.MP3SampleRate, 32000);
                                EXPECT_EQ(a.MP3BitRate, 96);
                                EXPECT_EQ(a.MP3ChannelMode, 1);
                              }},
                    // The presets round-trip; the same values with stereo are "Custom".
                    SheetCase{[](CS& s) {
                                s.AutoDestMP3EncodingParam = 0;
                                s.LastOptionsPage = COptSheet::kMp3Page;
                              },
                              [](COptSheet& s) {
                                EXPECT_EQ(s.Mp3Page()->PresetList()->currentIndex(), 4);
                                Click(s.Mp3Page()->ChannelButton(1));
                                EXPECT_EQ(s.Mp3Page()->PresetList()->currentIndex(),
                                          COptMp3Page::kPresetCustom);
                                Ok(s);
                              },
                              {},
                              [](const CS&, const CS& a) { EXPECT_EQ(a.MP3ChannelMode, 0); }},
                    // "Same as original file" leaves the preset alone and stores 0.
                    SheetCase{[](CS& s) {
                                s.AutoDestMP3EncodingParam = 0;
                                s.LastOptionsPage = COptSheet::kMp3Page;
                              },
                              [](COptSheet& s) {
                                ChooseData(s.Mp3Page()->SampleRateList(), 0);
                                ChooseData(s.Mp3Page()->BitRateList(), 0);
                                EXPECT_EQ(s.Mp3Page()->PresetList()->currentIndex(), 4);
                                Ok(s);
                              },
                              {},
                              [](const CS&, const CS& a) {
                                EXPECT_EQ(a.MP3SampleRate, 0);
                                EXPECT_EQ(a.MP3BitRate, 0);
                              }},
                    SheetCase{[](CS& s) {
                                s.AmplifyMp3 = 1;
                                s.AmplifyMp3Coeff = 5;
                                s.LastOptionsPage = COptSheet::kMp3Page;
                              },
                              Ok, "Invalid amplification coefficient. It's betwen 10 and 3000.",
                              nullptr},
                    // With the box cleared any coefficient passes.
                    SheetCase{[](CS& s) {
                                s.AmplifyMp3Coeff = 5;
                                s.LastOptionsPage = COptSheet::kMp3Page;
                              },
                              Ok,
                              {},
                              [](const CS&, const CS& a) { EXPECT_EQ(a.AmplifyMp3Coeff, 5); }},
                    // Auto confirmed leaves the explicit values as they were.
                    SheetCase{[](CS& s) {
                                s.AutoDestMP3EncodingParam = 0;
                                s.MP3BitRate = 64;
                                s.MP3SampleRate = 22050;
                                s.MP3ChannelMode = 3;
                                s.LastOptionsPage = COptSheet::kMp3Page;
                              },
                              [](COptSheet& s) {
                                Choose(s.Mp3Page()->PresetList(), COptMp3Page::kPresetAuto);
                                Ok(s);
                              },
                              {},
                              [](const CS& b, const CS& a) {
                                CS expected = b;
                                expected.AutoDestMP3EncodingParam = 1;
                                EXPECT_EQ(a, expected);
                              }}));

INSTANTIATE_TEST_SUITE_P(
    Wav, SheetSession,
    testing::Values(SheetCase{[](CS& s) { s.LastOptionsPage = COptSheet::kWavPage; },
                              [](COptSheet& s) {
                                COptWavPage* p = s.WavPage();
                                Choose(p->PresetList(), 1);
                                EXPECT_EQ(p->BitsList()->currentData().toInt(), 8);
                                EXPECT_TRUE(p->ChannelButton(1)->isChecked());
                                ChooseData(p->BitsList(), 16);
                                EXPECT_EQ(p->PresetList()->currentIndex(),
                                          COptWavPage::kPresetCustom);
                                Ok(s);
                              },
                              {},
                              [](const CS&, const CS& a) {
                                EXPECT_EQ(a.WAVSampleRate, 11025);
                                EXPECT_EQ(a.WAVBitsPerSample, 16);
                                EXPECT_EQ(a.WAVChannelNum, 1);
                              }},
                    SheetCase{[](CS& s) {
                                s.AutoDestWAVEncodingParam = 0;
                                s.WAVSampleRate = 22050;
                                s.WAVChannelNum = 0;
                                s.LastOptionsPage = COptSheet::kWavPage;
                              },
                              [](COptSheet& s) {
                                EXPECT_EQ(s.WavPage()->PresetList()->currentIndex(),
                                          COptWavPage::kPresetCustom);
                                Click(s.WavPage()->ChannelButton(0));
                                Cancel(s);
                              },
                              {},
                              nullptr},
                    // A sample rate outside the list shows the first item, which OK stores.
                    SheetCase{[](CS& s) {
                                s.AutoDestWAVEncodingParam = 0;
                                s.WAVSampleRate = 7000;
                                s.LastOptionsPage = COptSheet::kWavPage;
                              },
                              Ok,
                              {},
                              [](const CS&, const CS& a) { EXPECT_EQ(a.WAVSampleRate, 6000); }},
                    SheetCase{[](CS& s) {
                                s.AutoDestWAVEncodingParam = 0;
                                s.LastOptionsPage = COptSheet::kWavPage;
                              },
                              [](COptSheet& s) {
                                ChooseData(s.WavPage()->SampleRateList(), 0);
                                EXPECT_EQ(s.WavPage()->PresetList()->currentIndex(),
                                          COptWavPage::kPresetCustom);
                                Ok(s);
                              },
                              {},
                              [](const CS&, const CS& a) { EXPECT_EQ(a.WAVSampleRate, 0); }}));

// The AAC and MP4 pages are twins: each case runs on the page `kAacPage` or `kM4aPage`.
CAacFamilyPage* Page(COptSheet& s) {
  return s.ActivePage() == COptSheet::kAacPage ? static_cast<CAacFamilyPage*>(s.AacPage())
                                               : s.M4aPage();
}

std::vector<SheetCase> AacFamilyCases(int page) {
  const bool m4a = page == COptSheet::kM4aPage;
  auto onPage = [page](std::function<void(CS&)> more = nullptr) {
    return [page, more](CS& s) {
      s.LastOptionsPage = page;
      if (more) more(s);
    };
  };
  return {
      // Auto by default: everything but the box, Reset and the sound disabled; clearing it with
      // VBR enables the quality, not the list.
      SheetCase{onPage(),
                [](COptSheet& s) {
                  CAacFamilyPage* p = Page(s);
                  EXPECT_TRUE(p->AutoBox()->isChecked());
                  EXPECT_TRUE(p->ResetButton()->isEnabled());
                  QWidget* off[] = {p->RateButton(0), p->QualityEdit(), p->BitRateList(),
                                    p->TnsBox(), p->BlockButton(2)};
                  for (QWidget* w : off) EXPECT_FALSE(w->isEnabled());
                  QTest::keyClick(&s, Qt::Key_U, Qt::AltModifier);  // A&uto, by its mnemonic
                  QTest::qWait(200);  // a mnemonic clicks after its press animation
                  EXPECT_TRUE(p->QualityEdit()->isEnabled());
                  EXPECT_FALSE(p->BitRateList()->isEnabled());
                  Click(p->RateButton(0));
                  EXPECT_TRUE(p->BitRateList()->isEnabled());
                  EXPECT_FALSE(p->QualityEdit()->isEnabled());
                  Cancel(s);
                },
                {},
                nullptr},
      SheetCase{onPage([](CS& s) { s.AutoDestAACEncodingParam = s.AutoDestM4AEncodingParam = 0; }),
                [](COptSheet& s) {
                  Retype(Page(s)->QualityEdit(), "600");
                  Ok(s);
                },
                "Invalid quality value. It's betwen 10 and 500.", nullptr},
      SheetCase{onPage([](CS& s) { s.AutoDestAACEncodingParam = s.AutoDestM4AEncodingParam = 0; }),
                [](COptSheet& s) {
                  // 600 typed under VBR passes once ABR is chosen.
                  Retype(Page(s)->QualityEdit(), "600");
                  Click(Page(s)->RateButton(0));
                  Ok(s);
                },
                {},
                [m4a](const CS&, const CS& a) {
                  EXPECT_EQ(m4a ? a.M4AVBRQuality : a.AACVBRQuality, 600);
                }},
      // The quality message comes before the coefficient's.
      SheetCase{onPage([](CS& s) {
                  s.AutoDestAACEncodingParam = s.AutoDestM4AEncodingParam = 0;
                  s.AACVBRQuality = s.M4AVBRQuality = 5;
                  s.AmplifyAAC = s.AmplifyM4A = 1;
                  s.AmplifyAACCoef = s.AmplifyM4ACoef = 5;
                }),
                Ok, "Invalid quality value. It's betwen 10 and 500.", nullptr},
      // Reset brings back the encoder defaults, not the amplification (nor the tag).
      SheetCase{onPage([](CS& s) {
                  s.AutoDestAACEncodingParam = s.AutoDestM4AEncodingParam = 0;
                  s.AACMpegVersion = 1;
                  s.AACBlockType = s.M4ABlockType = 1;
                  s.AACABRBitRate = s.M4AABRBitRate = 64;
                  s.AACVBRQuality = s.M4AVBRQuality = 300;
                  s.AmplifyAAC = s.AmplifyM4A = 1;
                  s.M4AID3TagType = kTagNone;
                }),
                [](COptSheet& s) {
                  CAacFamilyPage* p = Page(s);
                  Click(p->ResetButton());
                  EXPECT_TRUE(p->AutoBox()->isChecked());
                  EXPECT_EQ(p->BitRateList()->currentData().toInt(), 128);
                  EXPECT_EQ(p->QualityEdit()->text(), "100");
                  EXPECT_TRUE(p->BlockButton(0)->isChecked());
                  if (p->MpegButton(0)) {
                    EXPECT_TRUE(p->MpegButton(0)->isChecked());
                  }
                  EXPECT_TRUE(p->AmplifyBox()->Check()->isChecked());
                  if (p->TagBox()) {
                    EXPECT_TRUE(p->TagBox()->ChoiceButton(kTagNone)->isChecked());
                  }
                  Click(p->AutoBox());
                  Ok(s);
                },
                {},
                [m4a](const CS&, const CS& a) {
                  EXPECT_EQ(m4a ? a.M4AABRBitRate : a.AACABRBitRate, 128);
                  EXPECT_EQ(m4a ? a.M4ABlockType : a.AACBlockType, 0);
                  EXPECT_EQ(m4a ? a.M4AVBRQuality : a.AACVBRQuality, 100);
                  EXPECT_EQ(a.AACMpegVersion, m4a ? 1 : 0);
                  EXPECT_EQ(m4a ? a.AmplifyM4A : a.AmplifyAAC, 1);
                }},
      // With Auto on only the flag and the amplification are stored.
      SheetCase{onPage([](CS& s) {
                  s.AACVBRQuality = s.M4AVBRQuality = 900;
                  s.AACBlockType = s.M4ABlockType = 2;
                }),
                [](COptSheet& s) {
                  Click(Page(s)->AmplifyBox()->Check());
                  Ok(s);
                },
                {},
                [m4a](const CS& b, const CS& a) {
                  CS expected = b;
                  (m4a ? expected.AmplifyM4A : expected.AmplifyAAC) = 1;
                  EXPECT_EQ(a, expected);
                }},
  };
}

INSTANTIATE_TEST_SUITE_P(Aac, SheetSession, testing::ValuesIn(AacFamilyCases(COptSheet::kAacPage)));
INSTANTIATE_TEST_SUITE_P(M4a, SheetSession, testing::ValuesIn(AacFamilyCases(COptSheet::kM4aPage)));

// The MP4 page's tag: edited under Auto and kept on OK, dropped on Cancel.
INSTANTIATE_TEST_SUITE_P(M4aTag, SheetSession, testing::ValuesIn([] {
                           std::vector<SheetCase> cases;
                           for (bool ok : {true, false}) {
                             cases.push_back(SheetCase{
                                 [](CS& s) { s.LastOptionsPage = COptSheet::kM4aPage; },
                                 [ok](COptSheet& s) {
                                   CTagChoiceBox* tag = s.M4aPage()->TagBox();
                                   EXPECT_FALSE(tag->EditButton()->isEnabled());
                                   Click(tag->ChoiceButton(kTagAddUser));
                                   EXPECT_TRUE(tag->EditButton()->isEnabled());
                                   test::WhenModalOpens<CTagEditDlg>([](CTagEditDlg& d) {
                                     Retype(d.ArtistEdit(), "Quiet Rooms");
                                     Click(d.OkButton());
                                   });
                                   Click(tag->EditButton());
                                   ok ? Ok(s) : Cancel(s);
                                 },
                                 {},
                                 [ok](const CS& b, const CS& a) {
                                   EXPECT_EQ(a.M4AID3Tag.artist, ok ? "Quiet Rooms" : "");
                                   EXPECT_EQ(a.M4AID3TagType, ok ? kTagAddUser : b.M4AID3TagType);
                                   EXPECT_EQ(a.AutoDestM4AEncodingParam, 1);
                                 }});
                           }
                           return cases;
                         }()));

// The MP3 page keeps each bit rate and sample rate pair valid for MPEG audio.
struct Coupling {
  int sampleRate, bitRate;  // selected before
  bool chooseBitRate;       // else the sample rate is chosen
  int chosen;
  int expectedSampleRate, expectedBitRate;
};
void PrintTo(const Coupling&, std::ostream* os) { *os << "Coupling"; }

class Mp3Coupling : public testing::TestWithParam<Coupling> {};

TEST_P(Mp3Coupling, KeepsThePairValid) {
  const Coupling& c = GetParam();
  CS settings;
  settings.AutoDestMP3EncodingParam = 0;
  settings.MP3SampleRate = c.sampleRate;
  settings.MP3BitRate = c.bitRate;
  COptMp3Page page;
  page.Load(settings);
  page.show();
  ChooseData(c.chooseBitRate ? page.BitRateList() : page.SampleRateList(), c.chosen);
  EXPECT_EQ(page.SampleRateList()->currentData().toInt(), c.expectedSampleRate);
  EXPECT_EQ(page.BitRateList()->currentData().toInt(), c.expectedBitRate);
  EXPECT_EQ(page.PresetList()->currentIndex(), COptMp3Page::kPresetCustom);
}

INSTANTIATE_TEST_SUITE_P(Rules, Mp3Coupling,
                         testing::Values(Coupling{44100, 128, true, 16, 24000, 16},
                                         Coupling{11025, 16, true, 192, 32000, 192},
                                         Coupling{22050, 32, true, 112, 22050, 112},
                                         Coupling{44100, 128, false, 11025, 11025, 64},
                                         Coupling{44100, 8, false, 48000, 48000, 32},
                                         Coupling{44100, 320, false, 22050, 22050, 160}));

// LastOptionsPage outlives the sheet, whatever closed it, but not the program; Cancel saves
// nothing.
TEST(OptionsCommand, OpensOnTheLastPageUntilRestart) {
  QTemporaryDir dir;
  const std::string file = dir.filePath("Wavorax.conf").toStdString();
  CS settings;
  {
    CSettingsStore store(file);
    test::WhenModalOpens<COptSheet>([](COptSheet& s) {
      ClickTab(s.Tabs(), COptSheet::kAacPage);
      Cancel(s);
    });
    EXPECT_FALSE(RunOptionsSheet(settings, store, nullptr));
    EXPECT_EQ(settings.LastOptionsPage, COptSheet::kAacPage);
    test::WhenModalOpens<COptSheet>([](COptSheet& s) {
      EXPECT_EQ(s.Tabs()->currentIndex(), COptSheet::kAacPage);
      ClickTab(s.Tabs(), COptSheet::kGeneralPage);
      Click(s.GeneralPage()->ExtensionBox(".wav"));
      Ok(s);
    });
    EXPECT_TRUE(RunOptionsSheet(settings, store, nullptr));
    EXPECT_EQ(settings.LastOptionsPage, COptSheet::kGeneralPage);
    EXPECT_EQ(settings.BatchAddWAV, 0);
  }
  CSettingsStore restarted(file);
  CS loaded;
  restarted.LoadSettings(loaded);
  EXPECT_EQ(loaded.LastOptionsPage, 0);
  EXPECT_EQ(loaded.BatchAddWAV, 0);
  EXPECT_TRUE(Recorder().messages.empty());
}

}  // namespace
}  // namespace wavorax::ui
