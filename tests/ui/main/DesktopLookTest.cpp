// The desktop's palette: the light or dark preference read from the settings portal and
// followed as it changes, and the application's palette given back when the look is off.
// ctest runs this program under dbus-run-session; a small settings portal of our own answers
// on the private session bus, from a thread of its own because the window asks it blocking.
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QThread>
#include <atomic>

#include "tests/ui/main/UiFixture.h"
#include "ui/main/DesktopLook.h"

namespace wavorax::ui::test {

class CPortalService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

 public:
  std::atomic<uint> scheme{0};

 public slots:
  // As the portal answers: the value inside one more variant.
  QDBusVariant Read(const QString& group, const QString& key) {
    if (group != "org.freedesktop.appearance" || key != "color-scheme") return QDBusVariant(0u);
    return QDBusVariant(QVariant::fromValue(QDBusVariant(scheme.load())));
  }
};

namespace {

bool AppIsDark() { return IsDarkPalette(QApplication::palette()); }

class DesktopPalette : public testing::Test {
 protected:
  void SetUp() override {
    service.moveToThread(&thread);
    thread.start();
    QMetaObject::invokeMethod(
        &service,
        [this] {
          bus = std::make_unique<QDBusConnection>(
              QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal")));
          registered = bus->registerObject("/org/freedesktop/portal/desktop", &service,
                                           QDBusConnection::ExportAllSlots) &&
                       bus->registerService("org.freedesktop.portal.Desktop");
        },
        Qt::BlockingQueuedConnection);
    ASSERT_TRUE(registered) << "run under dbus-run-session";
  }
  void TearDown() override {
    QMetaObject::invokeMethod(
        &service,
        [this] {
          bus->unregisterService("org.freedesktop.portal.Desktop");
          bus.reset();
          QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
        },
        Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
  }
  // The portal's signal, as the desktop sends it when the user switches.
  void Announce(uint value) {
    service.scheme = value;
    QDBusMessage signal = QDBusMessage::createSignal(
        "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
    signal << QString("org.freedesktop.appearance") << QString("color-scheme")
           << QVariant::fromValue(QDBusVariant(value));
    bus->send(signal);  // from the connection that owns the portal's name
  }

  QThread thread;
  CPortalService service;
  std::unique_ptr<QDBusConnection> bus;
  bool registered = false;
};

TEST_F(DesktopPalette, FollowsThePortalAndGivesThePaletteBack) {
  const QPalette before = QApplication::palette();
  ASSERT_FALSE(IsDarkPalette(before)) << "the offscreen platform's palette is light";
  service.scheme = 1;
  EXPECT_EQ(PortalColorScheme(), ColorScheme::Dark);
  {
    CDesktopPalette look;
    look.SetOn(true);
    EXPECT_EQ(look.scheme(), ColorScheme::Dark);
    EXPECT_TRUE(AppIsDark());
    Announce(2);  // the user switches the desktop to light
    EXPECT_TRUE(WaitFor([] { return !AppIsDark(); }, 5000));
    EXPECT_EQ(QApplication::palette(), before);
    Announce(1);
    EXPECT_TRUE(WaitFor(AppIsDark, 5000));
    look.SetOn(false);
    EXPECT_EQ(QApplication::palette(), before);
    // Off, a change of the desktop's preference leaves the palette alone.
    Announce(2);
    Announce(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::palette(), before);
    look.SetOn(true);
    EXPECT_TRUE(AppIsDark());
  }
  EXPECT_EQ(QApplication::palette(), before) << "a look that ends gives the palette back";
  service.scheme = 0;  // no preference: the platform's palette, light here
  EXPECT_EQ(PortalColorScheme(), ColorScheme::Unknown);
  CDesktopPalette look;
  look.SetOn(true);
  EXPECT_EQ(look.scheme(), ColorScheme::Light);
  EXPECT_FALSE(AppIsDark());
}

}  // namespace
}  // namespace wavorax::ui::test

#include "DesktopLookTest.moc"
