#include "ui/common/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QStandardPaths>

namespace wavorax::ui {

namespace {

// The remembered folder may have gone; the dialog then opens on the nearest existing
// parent, and without any on the first-run folder.
QString ExistingFolder(QString folder) {
  while (!folder.isEmpty() && !QDir(folder).exists()) {
    const QString up = QDir::cleanPath(folder + QStringLiteral("/.."));
    if (up == QDir::cleanPath(folder)) break;
    folder = up;
  }
  return folder.isEmpty() ? DefaultBrowseFolder() : folder;
}

}  // namespace

QString DefaultBrowseFolder() {
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (!music.isEmpty() && QDir(music).exists()) return music;
  return QDir::homePath();
}

QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start) {
  QFileDialog dialog(parent, caption);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDirectory(ExistingFolder(start));
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return {};
  QString result = QDir::cleanPath(chosen.first());
  if (!result.endsWith(QLatin1Char('/'))) result += QLatin1Char('/');
  return result;
}

QStringList SourceFileFilters() {
  // Qt shows the patterns in parentheses; the description keeps its own where
  // it has one.
  static const char* const kFilters[] = {
      "All Support Formats (*.mp3 *.mp2 *.mp1 *.wav *.ogg *.oga *.opus *.mod *.xm "
      "*.it *.s3m *.mtm "
      "*.umx *.mo3 *.au *.snd *.aiff *.aif *.aifc *.afc *.cda *.flac *.wma "
      "*.wmv *.asf *.wv "
      "*.aac *.m4a *.m4b *.mp4 *.m4v *.ac3 *.adx *.ape *.mac *.mpc *.mp+ *.mpp "
      "*.spx *.tta "
      "*.amr *.cue *.toc *.nrg)",
      "MP3 Files (*.mp3 *.mp2 *.mp1)",
      "WAV Files (*.wav)",
      "OGG Files (*.ogg *.oga *.opus)",
      "Windows Media Audio (*.wma)",
      "Windows Media Video (*.wmv)",
      "Advanced Systems Format (*.asf)",
      "CD Audio (*.cda)",
      // Disc images expand to one row per audio track when they are added.
      "CD Images (*.cue *.toc *.nrg)",
      "AIFF Files (*.aiff *.aif *.aifc *.afc)",
      "Free Lossless Audio Codec (*.flac)",
      "WavPack (*.wv)",
      "Advanced Audio Coding (*.aac)",
      "Advanced Audio Coding MPEG-4 (*.m4a *.m4b *.mp4 *.m4v)",
      "Dolby Digital AC-3 (*.ac3)",
      "CRI ADX (*.adx)",
      "Monkey's Audio (*.ape *.mac)",
      "Musepack (*.mpc *.mp+ *.mpp)",
      "Speex (*.spx)",
      "The True Audio (*.tta)",
      "MOD Musics (*.mod *.xm *.it *.s3m *.mtm *.umx)",
      "MO3 Musicss (*.mo3)",
      "AU Files (*.au)",
      "AMR Files (*.amr)",
      "NeXT/Sun sound Files (*.snd)",
      "All Files (*)",
  };
  QStringList filters;
  for (const char* filter : kFilters) filters << QString::fromLatin1(filter);
  return filters;
}

QStringList ChooseSourceFiles(QWidget* parent, const QString& start) {
  QFileDialog dialog(parent);
  dialog.setDirectory(ExistingFolder(start));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(SourceFileFilters());
  dialog.selectNameFilter(SourceFileFilters().first());
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

}  // namespace wavorax::ui
