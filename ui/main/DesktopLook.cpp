#include "ui/main/DesktopLook.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QStyle>

namespace wavorax::ui {

namespace {

const char kPortalService[] = "org.freedesktop.portal.Desktop";
const char kPortalPath[] = "/org/freedesktop/portal/desktop";
const char kSettingsInterface[] = "org.freedesktop.portal.Settings";
const char kAppearance[] = "org.freedesktop.appearance";
const char kColorSchemeKey[] = "color-scheme";

// The portal's value: 1 prefers dark, 2 prefers light, 0 (or anything else) no preference.
// Read() wraps the value in one more variant than SettingChanged does.
ColorScheme SchemeFromValue(QVariant value) {
  while (value.canConvert<QDBusVariant>() && value.typeId() == qMetaTypeId<QDBusVariant>())
    value = value.value<QDBusVariant>().variant();
  bool ok = false;
  const uint code = value.toUInt(&ok);
  if (!ok) return ColorScheme::Unknown;
  if (code == 1) return ColorScheme::Dark;
  if (code == 2) return ColorScheme::Light;
  return ColorScheme::Unknown;
}

QPalette DarkPalette() {
  // Fusion's roles, in dark: mid-grey surfaces, light text, a blue that reads on both.
  const QColor window(0x32, 0x33, 0x36), base(0x24, 0x25, 0x28), text(0xE8, 0xE8, 0xE8);
  const QColor disabled(0x82, 0x84, 0x88), highlight(0x3D, 0x7A, 0xD6);
  QPalette p;
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::PlaceholderText, disabled);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window.lighter(115));
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::white);
  p.setColor(QPalette::Light, window.lighter(160));
  p.setColor(QPalette::Midlight, window.lighter(130));
  p.setColor(QPalette::Mid, window.darker(120));
  p.setColor(QPalette::Dark, window.darker(160));
  p.setColor(QPalette::Shadow, Qt::black);
  p.setColor(QPalette::Highlight, highlight);
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::Link, QColor(0x7F, 0xB4, 0xFF));
  p.setColor(QPalette::LinkVisited, QColor(0xC0, 0x9C, 0xFF));
  for (QPalette::ColorRole role :
       {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
    p.setColor(QPalette::Disabled, role, disabled);
  p.setColor(QPalette::Disabled, QPalette::Highlight, window.lighter(130));
  return p;
}

}  // namespace

ColorScheme PortalColorScheme() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return ColorScheme::Unknown;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QString::fromLatin1(kPortalService), QString::fromLatin1(kPortalPath),
      QString::fromLatin1(kSettingsInterface), QStringLiteral("Read"));
  call << QString::fromLatin1(kAppearance) << QString::fromLatin1(kColorSchemeKey);
  const QDBusMessage reply = bus.call(call, QDBus::Block, 250);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
    return ColorScheme::Unknown;
  return SchemeFromValue(reply.arguments().constFirst());
}

bool IsDarkPalette(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() <
         palette.color(QPalette::WindowText).lightness();
}

QPalette PaletteFor(ColorScheme scheme, const QPalette& platform) {
  const bool dark = IsDarkPalette(platform);
  if (scheme == ColorScheme::Unknown || (scheme == ColorScheme::Dark) == dark) return platform;
  if (scheme == ColorScheme::Dark) return DarkPalette();
  return QApplication::style()->standardPalette();
}

CDesktopPalette::CDesktopPalette(QObject* parent) : QObject(parent) {}

CDesktopPalette::~CDesktopPalette() { SetOn(false); }

void CDesktopPalette::SetOn(bool on) {
  if (on == on_) return;
  on_ = on;
  if (!on) {
    if (before_) QApplication::setPalette(*before_);
    before_.reset();
    return;
  }
  before_ = QApplication::palette();
  if (!listening_) {
    // A change of the desktop's preference is followed while the program runs.
    listening_ = QDBusConnection::sessionBus().connect(
        QString::fromLatin1(kPortalService), QString::fromLatin1(kPortalPath),
        QString::fromLatin1(kSettingsInterface), QStringLiteral("SettingChanged"), this,
        SLOT(OnPortalSetting(QString, QString, QDBusVariant)));
  }
  portal_ = PortalColorScheme();
  Apply();
}

ColorScheme CDesktopPalette::scheme() const {
  if (forced_ != ColorScheme::Unknown) return forced_;
  if (portal_ != ColorScheme::Unknown) return portal_;
  const QPalette& platform = before_ ? *before_ : QApplication::palette();
  return IsDarkPalette(platform) ? ColorScheme::Dark : ColorScheme::Light;
}

void CDesktopPalette::ForceScheme(ColorScheme scheme) {
  forced_ = scheme;
  if (on_) Apply();
}

void CDesktopPalette::OnPortalSetting(const QString& group, const QString& key,
                                      const QDBusVariant& value) {
  if (group != QLatin1String(kAppearance) || key != QLatin1String(kColorSchemeKey)) return;
  portal_ = SchemeFromValue(QVariant::fromValue(value));
  if (on_) Apply();
}

void CDesktopPalette::Apply() {
  QApplication::setPalette(PaletteFor(scheme(), *before_));
  emit changed();
}

}  // namespace wavorax::ui
