// Renders the options sheet's pages, the tag editor and a hovered link label to PNG files:
// screenshots_options OUTPUT_FOLDER SCALE.
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QPixmap>
#include <QTabWidget>
#include <cstdio>
#include <iterator>
#include <utility>

#include "app/Translations.h"
#include "controls/LinkLabel.h"
#include "ui/options/OptPage.h"
#include "ui/options/OptSheet.h"
#include "ui/options/TagEditDlg.h"

namespace {

bool Save(QWidget* widget, const QString& folder, const QString& name, const QString& scale) {
  QApplication::processEvents();
  const QString path = folder + QStringLiteral("/options-") + name + QStringLiteral("@") + scale +
                       QStringLiteral("x.png");
  const bool ok = widget->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER SCALE\n", argv[0]);
    return 2;
  }
  qputenv("QT_SCALE_FACTOR", argv[2]);
  QApplication app(argc, argv);
  // The pictures are in the language of the environment, as the program would be.
  wavorax::i18n::LoadTranslations(QStringLiteral(WAVORAX_BINARY_DIR "/share/wavorax/translations"));
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const QString scale = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(folder);
  bool ok = true;

  // Settings that show the optional controls enabled: a custom folder, explicit MP3 and WAV
  // parameters, amplification on.
  wavorax::ConversionSettings settings;
  settings.DestOutputFolderOpt = wavorax::kFolderCustom;
  settings.DestSpecifiedFolder = "/home/u/Converted/";
  settings.AutoDestMP3EncodingParam = 0;
  settings.AutoDestWAVEncodingParam = 0;
  settings.AutoDestAACEncodingParam = 0;
  settings.AmplifyMp3 = 1;
  settings.M4AID3TagType = wavorax::kTagAddUser;
  settings.VorbisCommentTagType = wavorax::kTagAddUser;
  wavorax::ui::COptSheet sheet(settings, nullptr);
  sheet.show();
  const char* names[] = {"general", "mp3", "wav", "aac", "mp4", "flac-alac", "opus-vorbis"};
  static_assert(std::size(names) == wavorax::ui::COptSheet::kPageCount);
  for (int i = 0; i < wavorax::ui::COptSheet::kPageCount; ++i) {
    sheet.Tabs()->setCurrentIndex(i);
    ok = Save(&sheet, folder, QString::fromLatin1(names[i]), scale) && ok;
  }
  // The other rate controls of the MP3 page and the other way of the Vorbis encoder.
  settings.MP3EncodingMode = 1;
  settings.VorbisMode = 1;
  settings.OpusSignal = 1;
  sheet.hide();
  wavorax::ui::COptSheet other(settings, nullptr);
  other.show();
  const std::pair<int, const char*> others[] = {
      {wavorax::ui::COptSheet::kMp3Page, "mp3-vbr"},
      {wavorax::ui::COptSheet::kOpusVorbisPage, "opus-vorbis-average"}};
  for (const auto& [index, name] : others) {
    other.Tabs()->setCurrentIndex(index);
    ok = Save(&other, folder, QString::fromLatin1(name), scale) && ok;
  }
  other.hide();

  wavorax::TagRecord tag;
  tag.useFileNameAsTitle = 0;
  tag.title = "Morning Light";
  tag.artist = "The Quiet Rooms";
  tag.album = "Harbour Songs";
  tag.year = "2024";
  tag.genre = 17;
  tag.trackMode = 2;
  tag.track = 7;
  wavorax::ui::CTagEditDlg editor(tag, nullptr);
  editor.show();
  ok = Save(&editor, folder, QStringLiteral("tag-editor"), scale) && ok;

  QWidget holder;
  holder.setFont(wavorax::ui::SheetFont());
  auto* row = new QHBoxLayout(&holder);
  auto* plain = new wavorax::ui::CLinkLabel(QStringLiteral("The program uses LAME MP3 encoder."));
  auto* hovered = new wavorax::ui::CLinkLabel(QStringLiteral("Joint Stereo vs. Stereo"));
  plain->SetLink(QStringLiteral("https://lame.sourceforge.io/"));
  hovered->SetLink(QStringLiteral("https://duckduckgo.com/?q=mp3+joint+stereo+vs+stereo"));
  row->addWidget(plain);
  row->addWidget(hovered);
  holder.show();
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(hovered, &enter);
  ok = Save(&holder, folder, QStringLiteral("link-label-hover"), scale) && ok;
  return ok ? 0 : 1;
}
