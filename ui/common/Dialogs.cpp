#include "ui/common/Dialogs.h"

#include <QCoreApplication>
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
      QT_TRANSLATE_NOOP(
          "Dialogs",
          "All Support Formats (*.mp3 *.mp2 *.mp1 *.wav *.ogg *.oga *.opus *.mod *.xm "
          "*.it *.s3m *.mtm "
          "*.umx *.mo3 *.au *.snd *.aiff *.aif *.aifc *.afc *.cda *.flac *.wma "
          "*.wmv *.asf *.wv "
          "*.aac *.m4a *.m4b *.mp4 *.m4v *.ac3 *.adx *.ape *.mac *.mpc *.mp+ *.mpp "
          "*.spx *.tta "
          "*.amr *.cue *.toc *.nrg)"),
      QT_TRANSLATE_NOOP("Dialogs", "MP3 Files (*.mp3 *.mp2 *.mp1)"),
      QT_TRANSLATE_NOOP("Dialogs", "WAV Files (*.wav)"),
      QT_TRANSLATE_NOOP("Dialogs", "OGG Files (*.ogg *.oga *.opus)"),
      QT_TRANSLATE_NOOP("Dialogs", "Windows Media Audio (*.wma)"),
      QT_TRANSLATE_NOOP("Dialogs", "Windows Media Video (*.wmv)"),
      QT_TRANSLATE_NOOP("Dialogs", "Advanced Systems Format (*.asf)"),
      QT_TRANSLATE_NOOP("Dialogs", "CD Audio (*.cda)"),
      // Disc images expand to one row per audio track when they are added.
      QT_TRANSLATE_NOOP("Dialogs", "CD Images (*.cue *.toc *.nrg)"),
      QT_TRANSLATE_NOOP("Dialogs", "AIFF Files (*.aiff *.aif *.aifc *.afc)"),
      QT_TRANSLATE_NOOP("Dialogs", "Free Lossless Audio Codec (*.flac)"),
      QT_TRANSLATE_NOOP("Dialogs", "WavPack (*.wv)"),
      QT_TRANSLATE_NOOP("Dialogs", "Advanced Audio Coding (*.aac)"),
      QT_TRANSLATE_NOOP("Dialogs", "Advanced Audio Coding MPEG-4 (*.m4a *.m4b *.mp4 *.m4v)"),
      QT_TRANSLATE_NOOP("Dialogs", "Dolby Digital AC-3 (*.ac3)"),
      QT_TRANSLATE_NOOP("Dialogs", "CRI ADX (*.adx)"),
      QT_TRANSLATE_NOOP("Dialogs", "Monkey's Audio (*.ape *.mac)"),
      QT_TRANSLATE_NOOP("Dialogs", "Musepack (*.mpc *.mp+ *.mpp)"),
      QT_TRANSLATE_NOOP("Dialogs", "Speex (*.spx)"),
      QT_TRANSLATE_NOOP("Dialogs", "The True Audio (*.tta)"),
      QT_TRANSLATE_NOOP("Dialogs", "MOD Musics (*.mod *.xm *.it *.s3m *.mtm *.umx)"),
      QT_TRANSLATE_NOOP("Dialogs", "MO3 Musicss (*.mo3)"),
      QT_TRANSLATE_NOOP("Dialogs", "AU Files (*.au)"),
      QT_TRANSLATE_NOOP("Dialogs", "AMR Files (*.amr)"),
      QT_TRANSLATE_NOOP("Dialogs", "NeXT/Sun sound Files (*.snd)"),
      QT_TRANSLATE_NOOP("Dialogs", "All Files (*)"),
  };
  QStringList filters;
  for (const char* filter : kFilters) filters << QCoreApplication::translate("Dialogs", filter);
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
