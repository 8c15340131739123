// Keeps ConversionSettings between runs: QSettings with organisation "Quelbrook",
// application "Wavorax", group "Options" (~/.config/Quelbrook/Wavorax.conf), or any other
// file for wavorax-cli's --settings and the tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "settings/ConversionSettings.h"

class QSettings;

namespace wavorax {

// The size of the window in the desktop's look and the widths of its list's columns, kept
// apart from the options (group "Window"). Zero or empty: never stored.
struct WindowGeometry {
  int width = 0;
  int height = 0;
  std::vector<int> columnWidths;
  bool operator==(const WindowGeometry&) const = default;
};

// Save groups.
enum : int { kSaveFolder = 4, kSaveOptions = 8, kSaveOutputFormat = 16 };

class CSettingsStore {
 public:
  // The user's store.
  CSettingsStore();
  // A store in the given file (INI format).
  explicit CSettingsStore(const std::string& file);
  ~CSettingsStore();
  CSettingsStore(const CSettingsStore&) = delete;
  CSettingsStore& operator=(const CSettingsStore&) = delete;

  // Fills the record from the store. A missing value, or one of the wrong type or size,
  // leaves its field as it was; the load-time corrections apply to what is read.
  void LoadSettings(ConversionSettings& settings);
  // Writes the selected groups; 0 without touching the store when mask is 0, else 1.
  int SaveSettings(const ConversionSettings& settings, int mask);

  // The window's geometry as last saved; values that are missing or out of reason are left out.
  WindowGeometry LoadWindowGeometry();
  void SaveWindowGeometry(const WindowGeometry& geometry);

  // True on the program's first start; marks the store so that later starts answer false.
  // Also true when the store cannot be written, so the help still opens.
  bool TakeFirstRun();

  // The file behind the store.
  std::string FileName() const;

 private:
  std::string path_;
  std::unique_ptr<QSettings> settings_;  // null when the path is no regular file
};

}  // namespace wavorax
