// The reveal after a batch and Browse Destination Folder reach the file manager
// through org.freedesktop.FileManager1.ShowItems. ctest runs this program under
// dbus-run-session, so a small file manager of our own answers on a private
// session bus and records each call.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QStringList>
#include <filesystem>

#include "tests/ui/main/UiFixture.h"

namespace wavorax::ui::test {

class CFileManagerService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

 public:
  std::vector<QStringList> calls;

 public slots:
  void ShowItems(const QStringList& uris, const QString& /*startupId*/) { calls.push_back(uris); }
};

namespace {

class Reveal : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    bus = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file-manager")));
    ASSERT_TRUE(bus->isConnected()) << "run under dbus-run-session";
    ASSERT_TRUE(bus->registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &service,
                                    QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus->registerService(QStringLiteral("org.freedesktop.FileManager1")));
  }
  void TearDown() override {
    bus->unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    bus->unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager"));
    MainWindowFixture::TearDown();
  }

  CFileManagerService service;
  std::unique_ptr<QDBusConnection> bus;
};

TEST_F(Reveal, BatchRevealsFirstOutputThenBrowseDestinationRevealsTheRow) {
  Start();
  const std::string gone = Tone("gone.wav");
  Add({gone, Tone("kept.wav"), Tone("other.wav")});
  std::filesystem::remove(gone);
  ConvertInto(media / "out");
  window->settings().BrowseOutputFolder = 1;
  window->ConvertAll();
  ASSERT_EQ(Status(1), "kept.mp3");
  ASSERT_TRUE(WaitFor([&] { return !service.calls.empty(); }, 10000));
  // The first row failed, so the second row's output is the one shown.
  const QString kept =
      QUrl::fromLocalFile(QString::fromStdString(media / "out/kept.mp3")).toString();
  EXPECT_EQ(service.calls.front(), QStringList{kept});

  Select({2});
  window->Dispatch(CMainDlg::kBrowseDestination);
  ASSERT_TRUE(WaitFor([&] { return service.calls.size() == 2; }, 10000));
  EXPECT_EQ(
      service.calls.back(),
      QStringList{QUrl::fromLocalFile(QString::fromStdString(media / "out/other.mp3")).toString()});
  EXPECT_EQ(service.calls.size(), 2u);
}

}  // namespace
}  // namespace wavorax::ui::test

#include "RevealTest.moc"
