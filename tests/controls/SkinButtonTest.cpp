// The skinned button, read back from its own drawing: borders, pressed shift,
// the disabled look and the size taken from its image.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPixmap>

#include "controls/SkinButton.h"
#include "tests/support/TestSupport.h"

namespace wavorax::ui {
namespace {

const QColor kBack(128, 128, 128);
const QColor kLight(255, 255, 255);
const QColor kDark(0, 0, 0);

// A solid square of `colour`, 8x8 unless told.
std::string Square(const wavorax::test::TempDir& dir, const std::string& name, const char* colour,
                   int w = 8, int h = 8) {
  const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='" + std::to_string(w) +
                          "' height='" + std::to_string(h) +
                          "'><rect width='100%' height='100%' fill='" + colour + "'/></svg>";
  wavorax::test::WriteFileBytes(dir / name, {svg.begin(), svg.end()});
  return dir / name;
}

void Configure(CSkinButton& button) {
  QPalette palette = button.palette();
  palette.setColor(QPalette::Light, kLight);
  palette.setColor(QPalette::Dark, kDark);
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0, 0, 255));
  button.setPalette(palette);
  button.SetTransparent(false);
  button.SetBackColours(kBack, kBack);
}

void Hover(CSkinButton& button, bool on) {
  if (on) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&button, &enter);
  } else {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
  }
}

QImage Shot(CSkinButton& button) {
  return button.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

struct BorderCase {
  const char* name;
  bool flat, hovered, pressed, shift;
  QColor corner;    // top-left pixel: light for raised, dark for sunken, back for
                    // none
  int imageOffset;  // where the bitmap begins
};

class SkinButtonBorder : public testing::TestWithParam<BorderCase> {};

TEST_P(SkinButtonBorder, FollowsHoverAndPress) {
  const BorderCase& c = GetParam();
  wavorax::test::TempDir dir;
  CSkinButton button;
  Configure(button);
  button.SetFlat(c.flat);
  button.SetPressedShift(c.shift);
  ASSERT_TRUE(
      button.SetBitmaps(QString::fromStdString(Square(dir, "red.svg", "#ff0000")), {}, false));
  button.resize(20, 20);
  Hover(button, c.hovered);
  button.setDown(c.pressed);
  const QImage image = Shot(button);
  EXPECT_EQ(image.pixelColor(0, 0), c.corner);
  EXPECT_EQ(image.pixelColor(c.imageOffset, c.imageOffset), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(c.imageOffset - 1, c.imageOffset - 1) == QColor(255, 0, 0), false);
}

INSTANTIATE_TEST_SUITE_P(
    Control, SkinButtonBorder,
    testing::Values(BorderCase{"FlatIdle", true, false, false, true, kBack, 1},
                    BorderCase{"FlatHovered", true, true, false, true, kLight, 1},
                    BorderCase{"FlatPressed", true, true, true, true, kDark, 2},
                    BorderCase{"FlatPressedNoShift", true, true, true, false, kDark, 1},
                    BorderCase{"RaisedIdle", false, false, false, true, kLight, 1},
                    BorderCase{"RaisedPressed", false, false, true, true, kDark, 2}),
    [](const testing::TestParamInfo<BorderCase>& info) { return std::string(info.param.name); });

TEST(SkinButton, DisabledShowsGreyIconAndGreyTextNeverHover) {
  wavorax::test::TempDir dir;
  CSkinButton button;
  Configure(button);
  ASSERT_TRUE(button.SetIcons(QString::fromStdString(Square(dir, "red.svg", "#ff0000", 6, 6)),
                              QString::fromStdString(Square(dir, "green.svg", "#00ff00", 6, 6)),
                              false));
  QFont font;
  font.setPixelSize(11);
  font.setStyleStrategy(QFont::NoAntialias);
  button.SetTextFont(font);
  button.SetTextColours(QColor(255, 0, 0), QColor(255, 0, 0));
  button.setText("WWWWWW");
  button.resize(80, 24);
  Hover(button, true);
  EXPECT_EQ(Shot(button).pixelColor(40, 12), QColor(0, 255, 0)) << "hover image while enabled";
  button.setEnabled(false);
  Hover(button, true);
  const QImage image = Shot(button);
  const QColor centre = image.pixelColor(40, 12);
  EXPECT_NE(centre, QColor(0, 255, 0));
  EXPECT_NE(centre, QColor(255, 0, 0));
  bool greyText = false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor p = image.pixelColor(x, y);
      if (p == QColor(0, 0, 255)) greyText = true;
      EXPECT_FALSE(p == QColor(255, 0, 0)) << "enabled text colour at " << x << "," << y;
    }
  EXPECT_TRUE(greyText);
}

struct AutoSizeCase {
  bool border, shift;
  int extra;
};

class SkinButtonAutoSize : public testing::TestWithParam<AutoSizeCase> {};

TEST_P(SkinButtonAutoSize, ImagePlusShiftAndBorder) {
  const AutoSizeCase& c = GetParam();
  wavorax::test::TempDir dir;
  CSkinButton button;
  button.move(5, 7);
  button.SetDrawBorder(c.border);
  button.SetPressedShift(c.shift);
  ASSERT_TRUE(button.SetBitmaps(QString::fromStdString(Square(dir, "b.svg", "#123456", 106, 26)),
                                {}, true));
  EXPECT_EQ(button.size(), QSize(106 + c.extra, 26 + c.extra));
  EXPECT_EQ(button.pos(), QPoint(5, 7));
  EXPECT_FALSE(button.SetBitmaps(QString::fromStdString(dir / "missing.svg"), {}, true));
}

INSTANTIATE_TEST_SUITE_P(Control, SkinButtonAutoSize,
                         testing::Values(AutoSizeCase{true, true, 3}, AutoSizeCase{false, true, 1},
                                         AutoSizeCase{true, false, 2},
                                         AutoSizeCase{false, false, 0}));

}  // namespace
}  // namespace wavorax::ui
