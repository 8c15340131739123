// The two looks of the windows. The skinned look is the fixed, frameless window with its own
// drawing. The desktop's look gives ordinary windows in the application's style (the platform's
// style; Fusion on most desktops) and the desktop's palette. Qt 6.4 has no colour-scheme hint
// of its own (QStyleHints::colorScheme came with 6.5), so the desktop's light or dark
// preference is read from the settings portal (org.freedesktop.appearance color-scheme) and
// followed as it changes; without a portal the platform palette's lightness decides. When the
// desktop prefers dark and the platform palette is light, a dark palette takes its place.
#pragma once

#include <QObject>
#include <QPalette>
#include <optional>

class QDBusVariant;

namespace wavorax::ui {

enum class WindowLook { Skinned, Desktop };
enum class ColorScheme { Unknown, Light, Dark };

// The portal's answer, or Unknown without a portal (or with "no preference"). Waits at most a
// quarter of a second.
ColorScheme PortalColorScheme();
// Whether the palette has light text on a dark window.
bool IsDarkPalette(const QPalette& palette);
// The palette shown for `scheme` when the platform's palette is `platform`: the platform's when
// it already is light or dark as asked, else a light or dark one of the same family as Fusion's.
QPalette PaletteFor(ColorScheme scheme, const QPalette& platform);

// The application's palette while the desktop's look is on; off, the palette is the one the
// application had before. Only one of these should be on at a time.
class CDesktopPalette final : public QObject {
  Q_OBJECT

 public:
  explicit CDesktopPalette(QObject* parent = nullptr);
  ~CDesktopPalette() override;

  void SetOn(bool on);
  bool isOn() const { return on_; }
  // The scheme shown now: the forced one, else the portal's, else the palette's.
  ColorScheme scheme() const;
  // For the screenshots: a fixed scheme instead of the desktop's (Unknown follows the desktop).
  void ForceScheme(ColorScheme scheme);

 signals:
  // The palette changed while on.
  void changed();

 private slots:
  void OnPortalSetting(const QString& group, const QString& key, const QDBusVariant& value);

 private:
  void Apply();

  bool on_ = false;
  bool listening_ = false;
  std::optional<QPalette> before_;  // the application's palette before the look took over
  ColorScheme portal_ = ColorScheme::Unknown;
  ColorScheme forced_ = ColorScheme::Unknown;
};

}  // namespace wavorax::ui
