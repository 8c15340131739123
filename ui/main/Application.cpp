#include "ui/main/Application.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <libopenmpt/libopenmpt.h>

#include <QApplication>
#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>

#include "app/SettingsStore.h"
#include "decoders/audiolib/AudioLib.h"
#include "ui/common/Messenger.h"
#include "ui/main/DesktopLaunch.h"
#include "ui/main/HelpWindow.h"
#include "ui/main/MainDlg.h"

namespace wavorax::ui {

namespace {

// Tooltips of the window show after 300 ms.
class CWavoraxStyle final : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == QStyle::SH_ToolTip_WakeUpDelay) return 300;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

}  // namespace

bool CheckRuntimeLibraries() { return audiolib::CheckLibraryVersions(nullptr); }

bool StartAudioLibrary() {
  audiolib::ConfigureLibraries();
  // The containers and codecs that every common source needs; a library built
  // without them could list nothing.
  const bool demuxers = av_find_input_format("wav") && av_find_input_format("mp3") &&
                        av_find_input_format("ogg") && av_find_input_format("flac");
  const bool decoders = avcodec_find_decoder(AV_CODEC_ID_PCM_S16LE) &&
                        avcodec_find_decoder(AV_CODEC_ID_MP3) &&
                        avcodec_find_decoder(AV_CODEC_ID_FLAC);
  const bool music = openmpt_get_library_version() != 0;
  return demuxers && decoders && music;
}

int RunProgram(const StartOptions& options) {
  const auto versionsMatch = options.checkVersions ? options.checkVersions : CheckRuntimeLibraries;
  if (!versionsMatch()) return 1;
  const auto start = options.startAudioLibrary ? options.startAudioLibrary : StartAudioLibrary;
  if (!start()) {
    ShowCritical(QCoreApplication::translate("Application",
                                             "Failed to initialize the software (0x0002020)."),
                 nullptr);
    return 1;
  }
  if (!qobject_cast<QProxyStyle*>(QApplication::style())) QApplication::setStyle(new CWavoraxStyle);
  QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/art/wavorax.svg")));

  CSettingsStore store;
  CMainDlg window(store, options.helpIndex.isEmpty() ? DefaultHelpIndex() : options.helpIndex);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
  }
  window.show();
  CDesktopApplication desktop(window);
  if (options.claimSession) desktop.Claim();
  window.AddFromDesktop(options.launchPaths);
  if (options.onShown) options.onShown(window);
  if (!window.isVisible()) return 0;
  return QApplication::exec();
}

}  // namespace wavorax::ui
