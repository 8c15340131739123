// A link that the desktop cannot open goes to the default browser of mimeapps.list, under
// isolated XDG folders; each way that can fail has its text.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "controls/LinkLabel.h"
#include "tests/uisupport/RecordingMessenger.h"
#include "ui/main/DefaultBrowser.h"

namespace wavorax::ui {
namespace {

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
  OpenFailedLinksInBrowser(&window);
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
  EXPECT_EQ(LinkErrorText(4), "Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
}

}  // namespace
}  // namespace wavorax::ui
