// The tag editor: what OK keeps, what it refuses with the framework's texts, and the genre
// list that is sorted by name but stores the table index.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "tests/ui/options/OptionsTestSupport.h"
#include "tests/uisupport/RecordingMessenger.h"
#include "ui/options/OptPage.h"
#include "ui/options/TagEditDlg.h"

namespace wavorax::ui {
namespace {

using test::Click;
using test::Retype;

struct TagCase {
  std::function<void(TagRecord&)> prepare;
  std::function<void(CTagEditDlg&)> drive;      // ends with OK or Cancel
  QString message;                              // expected, or none
  std::function<QWidget*(CTagEditDlg&)> focus;  // the field a refusal focuses
  std::function<void(const TagRecord& before, const TagRecord& after)> check;
};
void PrintTo(const TagCase&, std::ostream* os) { *os << "TagCase"; }

class TagEditor : public testing::TestWithParam<TagCase> {};

TEST_P(TagEditor, KeepsWhatTheUserConfirmed) {
  const TagCase& c = GetParam();
  TagRecord before;
  if (c.prepare) c.prepare(before);
  TagRecord record = before;
  bool accepted = false;
  test::WhenModalOpens<CTagEditDlg>([&c](CTagEditDlg& d) {
    c.drive(d);
    QApplication::processEvents();
    if (c.focus) {
      EXPECT_EQ(d.focusWidget(), c.focus(d));
    }
    if (d.isVisible()) Click(d.CancelButton());
  });
  accepted = EditTag(record, nullptr);
  std::vector<QString> told;
  for (const RecordedMessage& m : Recorder().messages) told.push_back(m.text);
  EXPECT_EQ(told, c.message.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.message});
  if (!accepted) {
    EXPECT_EQ(record, before);
  }
  if (c.check) c.check(before, record);
}

void Ok(CTagEditDlg& d) { Click(d.OkButton()); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TagEditor,
    testing::Values(
        // No genre stays no genre.
        TagCase{nullptr,
                [](CTagEditDlg& d) {
                  EXPECT_EQ(d.GenreList()->currentIndex(), -1);
                  Ok(d);
                },
                {},
                nullptr,
                [](const TagRecord&, const TagRecord& a) { EXPECT_EQ(a.genre, 255); }},
        // A title behind "use the file name" is shown, disabled, and survives OK.
        TagCase{[](TagRecord& r) { r.title = "Kept"; },
                [](CTagEditDlg& d) {
                  EXPECT_FALSE(d.TitleEdit()->isEnabled());
                  EXPECT_EQ(d.TitleEdit()->text(), "Kept");
                  Click(d.UseFileName());
                  EXPECT_TRUE(d.TitleEdit()->isEnabled());
                  Click(d.UseFileName());
                  Ok(d);
                },
                {},
                nullptr,
                [](const TagRecord& b, const TagRecord& a) { EXPECT_EQ(a, b); }},
        // The custom number's spin stops at 0 and at 255.
        TagCase{nullptr,
                [](CTagEditDlg& d) {
                  EXPECT_FALSE(d.TrackEdit()->isEnabled());
                  Click(d.TrackButton(2));
                  EXPECT_TRUE(d.TrackEdit()->isEnabled());
                  Click(d.TrackSpin()->DownButton());
                  EXPECT_EQ(d.TrackEdit()->text(), "0");
                  Retype(d.TrackEdit(), "253");
                  for (int i = 0; i < 4; ++i) QTest::keyClick(d.TrackEdit(), Qt::Key_Up);
                  EXPECT_EQ(d.TrackEdit()->text(), "255");
                  Ok(d);
                },
                {},
                nullptr,
                [](const TagRecord&, const TagRecord& a) {
                  EXPECT_EQ(a.trackMode, 2);
                  EXPECT_EQ(a.track, 255);
                }},
        TagCase{nullptr,
                [](CTagEditDlg& d) {
                  Click(d.TrackButton(2));
                  Retype(d.TrackEdit(), "300");
                  Ok(d);
                },
                "Please enter an integer between 0 and 255.",
                [](CTagEditDlg& d) -> QWidget* { return d.TrackEdit(); }, nullptr},
        // A text too long from an old store is refused, not cut; the year comes first.
        TagCase{[](TagRecord& r) {
                  r.comment = std::string(31, 'c');
                  r.year = "19999";
                },
                Ok, "Please enter no more than 4 characters.",
                [](CTagEditDlg& d) -> QWidget* { return d.YearEdit(); }, nullptr},
        TagCase{[](TagRecord& r) { r.album = "Ünïcödé Ålbüm with 31 letters!!"; },
                [](CTagEditDlg& d) {
                  // Typing cannot make a full field longer.
                  QTest::keyClicks(d.AlbumEdit(), "xyz");
                  EXPECT_EQ(d.AlbumEdit()->text().size(), 31);
                  Ok(d);
                },
                "Please enter no more than 30 characters.",
                [](CTagEditDlg& d) -> QWidget* { return d.AlbumEdit(); }, nullptr},
        // The names are in alphabetical order; the record keeps the table index.
        TagCase{nullptr,
                [](CTagEditDlg& d) {
                  QComboBox* genres = d.GenreList();
                  ASSERT_EQ(genres->count(), kGenreCount);
                  for (int i = 1; i < genres->count(); ++i)
                    EXPECT_LE(
                        genres->itemText(i - 1).compare(genres->itemText(i), Qt::CaseInsensitive),
                        0);
                  EXPECT_EQ(genres->itemText(0), "A Cappella");
                  test::ChooseText(genres, "Rock");
                  Ok(d);
                },
                {},
                nullptr,
                [](const TagRecord&, const TagRecord& a) { EXPECT_EQ(a.genre, 17); }},
        TagCase{[](TagRecord& r) { r.genre = 17; },
                [](CTagEditDlg& d) {
                  Retype(d.ArtistEdit(), "Someone");
                  test::ChooseText(d.GenreList(), "Jpop");
                  Click(d.CancelButton());
                },
                {},
                nullptr,
                nullptr}));

// Texts keep whole characters when they are cut to the record's sizes.
TEST(TagTexts, AreCutBetweenCharacters) {
  const QString umlauts = QString(40, QChar(0xC4));
  EXPECT_EQ(CutToCharacters(umlauts, 31), QString(31, QChar(0xC4)).toStdString());
  const QString emoji = QString::fromUtf8(
      "ab\xF0\x9F\x8E\xB5"
      "cd");
  EXPECT_EQ(CutToCharacters(emoji, 3), "ab\xF0\x9F\x8E\xB5");
  EXPECT_EQ(CutToCharacters(emoji, 2), "ab");
}

}  // namespace
}  // namespace wavorax::ui
