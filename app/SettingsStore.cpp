#include "app/SettingsStore.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <climits>
#include <cstdlib>
#include <limits>

namespace wavorax {

namespace {

const char kGroup[] = "Options";
// The stored texts are paths, so they may be as long as the system allows a path to be, in
// bytes of UTF-8. Saving and loading apply the same rule, so that nothing is saved that the
// next start would refuse.
constexpr qsizetype kMaxTextBytes = PATH_MAX;

bool StorableText(const QString& s) { return s.toUtf8().size() <= kMaxTextBytes; }

bool ReadInt(const QVariant& v, std::int32_t& out) {
  if (!v.isValid() || v.typeId() == QMetaType::QByteArray || v.typeId() == QMetaType::QStringList)
    return false;
  bool ok = false;
  const qlonglong value = v.toLongLong(&ok);
  if (!ok || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

bool ReadText(const QVariant& v, std::string& out) {
  if (!v.isValid() || v.typeId() != QMetaType::QString) return false;
  const QString s = v.toString();
  if (!StorableText(s)) return false;
  out = s.toStdString();
  return true;
}

bool ReadTag(const QVariant& v, TagRecord& out) {
  if (!v.isValid() || v.typeId() != QMetaType::QByteArray) return false;
  const QByteArray bytes = v.toByteArray();
  if (bytes.size() != static_cast<qsizetype>(kTagRecordImageSize)) return false;
  TagRecord record;
  if (!TagRecordFromBytes(
          std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), kTagRecordImageSize),
          record))
    return false;
  out = record;
  return true;
}

// The user's store, where QSettings keeps organisation "Quelbrook", application "Wavorax".
std::string UserStorePath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base = config && *config == '/' ? config : "";
  if (base.empty()) {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.config";
  }
  return base + "/Quelbrook/Wavorax.conf";
}

// Only a regular file (or none yet) is a store: reading a FIFO would wait for a writer for
// good, and a device may never end. Anything else leaves the defaults, as a store that cannot
// be read does.
bool UsableStore(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

}  // namespace

CSettingsStore::CSettingsStore() : path_(UserStorePath()) {
  if (UsableStore(path_)) settings_ = std::make_unique<QSettings>("Quelbrook", "Wavorax");
}

CSettingsStore::CSettingsStore(const std::string& file) : path_(file) {
  if (UsableStore(path_))
    settings_ = std::make_unique<QSettings>(QString::fromStdString(file), QSettings::IniFormat);
}

CSettingsStore::~CSettingsStore() = default;

std::string CSettingsStore::FileName() const {
  return settings_ ? settings_->fileName().toStdString() : path_;
}

void CSettingsStore::LoadSettings(ConversionSettings& settings) {
  if (!settings_) return;
  settings_->sync();
  settings_->beginGroup(kGroup);
  for (const SettingField& f : SettingFields()) {
    const QString key = QString::fromLatin1(f.name);
    if (!settings_->contains(key)) continue;
    const QVariant v = settings_->value(key);
    switch (f.kind) {
      case SettingKind::Int: {
        std::int32_t value = 0;
        if (ReadInt(v, value)) settings.*(f.intField) = CorrectLoadedValue(f.name, value);
        break;
      }
      case SettingKind::Text:
        ReadText(v, settings.*(f.textField));
        break;
      case SettingKind::Tag:
        ReadTag(v, settings.*(f.tagField));
        break;
    }
  }
  settings_->endGroup();
}

int CSettingsStore::SaveSettings(const ConversionSettings& settings, int mask) {
  if (mask == 0) return 0;
  if (!settings_) return 1;  // a failure of the store is silent; the defaults stand
  settings_->beginGroup(kGroup);
  for (const SettingField& f : SettingFields()) {
    if ((f.saveGroup & mask) == 0) continue;
    const QString key = QString::fromLatin1(f.name);
    switch (f.kind) {
      case SettingKind::Int:
        settings_->setValue(key, settings.*(f.intField));
        break;
      case SettingKind::Text: {
        // A text too long to load again is not stored: the key is removed, so the next start
        // finds the default, exactly as it would after refusing the text.
        const QString text = QString::fromStdString(settings.*(f.textField));
        if (StorableText(text)) {
          settings_->setValue(key, text);
        } else {
          settings_->remove(key);
        }
        break;
      }
      case SettingKind::Tag: {
        const TagRecordImage image = TagRecordToBytes(settings.*(f.tagField));
        settings_->setValue(key, QByteArray(reinterpret_cast<const char*>(image.data()),
                                            static_cast<qsizetype>(image.size())));
        break;
      }
    }
  }
  settings_->endGroup();
  settings_->sync();
  return 1;
}

// A window or a column wider than any screen is a damaged value.
constexpr int kMaxWindowExtent = 32767;

WindowGeometry CSettingsStore::LoadWindowGeometry() {
  WindowGeometry geometry;
  if (!settings_) return geometry;
  settings_->sync();
  settings_->beginGroup("Window");
  std::int32_t width = 0, height = 0;
  if (ReadInt(settings_->value("Width"), width) && ReadInt(settings_->value("Height"), height) &&
      width > 0 && height > 0 && width <= kMaxWindowExtent && height <= kMaxWindowExtent) {
    geometry.width = width;
    geometry.height = height;
  }
  const QVariant columns = settings_->value("ColumnWidths");
  if (columns.typeId() == QMetaType::QString) {
    for (const QString& part : columns.toString().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      bool ok = false;
      const int value = part.toInt(&ok);
      if (!ok || value <= 0 || value > kMaxWindowExtent) {
        geometry.columnWidths.clear();
        break;
      }
      geometry.columnWidths.push_back(value);
    }
  }
  settings_->endGroup();
  return geometry;
}

void CSettingsStore::SaveWindowGeometry(const WindowGeometry& geometry) {
  if (!settings_) return;
  settings_->beginGroup("Window");
  settings_->setValue("Width", geometry.width);
  settings_->setValue("Height", geometry.height);
  QStringList columns;
  for (int width : geometry.columnWidths) columns << QString::number(width);
  // Space-separated, so that the INI file keeps one plain text rather than a list.
  settings_->setValue("ColumnWidths", columns.join(QLatin1Char(' ')));
  settings_->endGroup();
  settings_->sync();
}

bool CSettingsStore::TakeFirstRun() {
  if (!settings_) return true;
  settings_->sync();
  settings_->beginGroup(kGroup);
  std::int32_t firstRun = 1;
  ReadInt(settings_->value("FirstRun"), firstRun);
  if (firstRun != 0) settings_->setValue("FirstRun", 0);
  settings_->endGroup();
  settings_->sync();
  // A store that cannot be written keeps answering "first run".
  if (settings_->status() != QSettings::NoError || !settings_->isWritable()) return true;
  return firstRun != 0;
}

}  // namespace wavorax
