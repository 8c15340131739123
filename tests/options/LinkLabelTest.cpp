// The hyperlink label: colours and underline by state, fitting to its text by alignment, and
// opening its link with the fallback browser and the error message, under isolated XDG folders.
#include <gtest/gtest.h>

#include <QCursor>
#include <QEnterEvent>
#include <QFile>
#include <QTemporaryDir>

#include "controls/LinkLabel.h"
#include "tests/options/OptionsTestSupport.h"
#include "tests/uisupport/RecordingMessenger.h"

namespace wavorax::ui {
namespace {

void Enter(CLinkLabel& label) {
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&label, &enter);
}

void Leave(CLinkLabel& label) {
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&label, &leave);
}

TEST(LinkLabel, ColourAndUnderlineFollowTheMouse) {
  QWidget window;
  auto* always = new CLinkLabel(QStringLiteral("always"), &window);
  auto* hover = new CLinkLabel(QStringLiteral("hover"), &window);
  always->SetUnderlineMode(1);
  hover->move(0, 40);
  window.show();
  for (CLinkLabel* label : {always, hover}) {
    EXPECT_EQ(label->palette().color(label->foregroundRole()), CLinkLabel::kLinkColour);
    EXPECT_EQ(label->font().underline(), label == always);
    Enter(*label);
    EXPECT_EQ(label->palette().color(label->foregroundRole()), CLinkLabel::kHoverColour);
    EXPECT_TRUE(label->font().underline());
    EXPECT_EQ(label->toolTip(), label->text());  // without a link, the text is the link
    EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
  }
  Leave(*always);
  EXPECT_TRUE(always->font().underline());
  EXPECT_EQ(always->TextColour(), CLinkLabel::kLinkColour);
  // A lost leave event: the poll sees the mouse elsewhere within about 100 ms.
  QCursor::setPos(window.mapToGlobal(QPoint(500, 500)));
  QTest::qWait(3 * CLinkLabel::kHoverPollMs);
  EXPECT_FALSE(hover->IsOverControl());
  EXPECT_FALSE(hover->font().underline());
  EXPECT_EQ(hover->TextColour(), CLinkLabel::kLinkColour);
}

// SetLink fits the label to its text and keeps the edge its alignment names.
class LinkLabelFit : public testing::TestWithParam<Qt::Alignment> {};

TEST_P(LinkLabelFit, KeepsTheAlignedEdge) {
  QWidget window;
  window.resize(600, 100);
  CLinkLabel label(QString(), &window);
  label.setAlignment(GetParam());
  label.setGeometry(200, 10, 100, 20);
  label.SetLink(QStringLiteral("https://example.org/a/rather/long/address/for/a/link"));
  EXPECT_EQ(label.text(), label.Link());
  EXPECT_GT(label.width(), 100);
  if (GetParam() & Qt::AlignRight) {
    EXPECT_EQ(label.geometry().right(), 299);
  }
  if (GetParam() & Qt::AlignLeft) {
    EXPECT_EQ(label.x(), 200);
  }
  if (GetParam() & Qt::AlignHCenter) {
    EXPECT_NEAR(label.geometry().center().x(), 249, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Alignments, LinkLabelFit,
                         testing::Values(Qt::AlignLeft | Qt::AlignVCenter,
                                         Qt::AlignRight | Qt::AlignVCenter, Qt::AlignHCenter));

// Clicking a link that the desktop cannot open goes to the default browser of mimeapps.list;
// each way that can fail has its text.
struct OpenCase {
  const char* mimeapps;  // the default-applications line, or none
  const char* exec;      // the browser's Exec line, or no desktop file
  QString reason;        // empty when the link opens
};
void PrintTo(const OpenCase&, std::ostream* os) { *os << "OpenCase"; }

class LinkLabelOpen : public testing::TestWithParam<OpenCase> {};

TEST_P(LinkLabelOpen, FallsBackToTheBrowserThenReports) {
  const OpenCase& c = GetParam();
  QTemporaryDir home;
  for (const char* sub : {"config", "data/applications", "dirs", "confdirs"})
    QDir(home.path()).mkpath(QString::fromLatin1(sub));
  qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
  qputenv("XDG_CONFIG_DIRS", home.filePath("confdirs").toLocal8Bit());
  qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
  qputenv("XDG_DATA_DIRS", home.filePath("dirs").toLocal8Bit());
  if (c.mimeapps) {
    QFile list(home.filePath("config/mimeapps.list"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(QByteArray("[Default Applications]\n") + c.mimeapps + "\n");
  }
  if (c.exec) {
    QFile desktop(home.filePath("data/applications/browser.desktop"));
    ASSERT_TRUE(desktop.open(QIODevice::WriteOnly));
    desktop.write(QByteArray("[Desktop Entry]\nType=Application\nName=B\nExec=") + c.exec + "\n");
  }

  QWidget window;
  CLinkLabel label(QStringLiteral("Joint Stereo vs. Stereo"), &window);
  label.SetLink(QStringLiteral("wavorax-no-handler://joint-stereo"));
  window.show();
  QTest::mouseClick(&label, Qt::LeftButton);

  EXPECT_EQ(label.IsVisited(), c.reason.isEmpty());
  EXPECT_EQ(label.TextColour(),
            c.reason.isEmpty() ? CLinkLabel::kVisitedColour : CLinkLabel::kLinkColour);
  if (c.reason.isEmpty()) {
    EXPECT_TRUE(Recorder().messages.empty());
  } else {
    ASSERT_EQ(Recorder().messages.size(), 1u);
    EXPECT_EQ(Recorder().messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(Recorder().messages[0].text, "Unable to open hyperlink:\n\n" + c.reason);
  }
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
    qunsetenv(name);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LinkLabelOpen,
    testing::Values(
        OpenCase{nullptr, nullptr,
                 "There is no application associated\nwith the given filename extension."},
        OpenCase{"text/html=browser.desktop;", nullptr,
                 "The filename association is\nincomplete or invalid."},
        OpenCase{"text/html=browser.desktop", "wavorax-no-such-browser %u",
                 "The specified file was not found."},
        OpenCase{"x-scheme-handler/http=browser.desktop", "true --new-window %U", {}}));

TEST(LinkLabel, UnknownCodesNameTheirNumber) {
  EXPECT_EQ(CLinkLabel::LinkErrorText(4),
            "Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
}

}  // namespace
}  // namespace wavorax::ui
