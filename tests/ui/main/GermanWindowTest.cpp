// The window under LANG=de_DE.UTF-8, loaded as the program's main loads it: German labels,
// the engine's texts in German where they are shown, and the German help.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/SettingsStore.h"
#include "app/Translations.h"
#include "controls/SkinButton.h"
#include "ui/main/HelpWindow.h"
#include "ui/main/MainDlg.h"

namespace wavorax::ui {
namespace {

const QString kBuild = QStringLiteral(WAVORAX_BINARY_DIR);

TEST(GermanWindow, ShowsGermanLabels) {
  CSettingsStore store(
      QDir::temp().filePath(QStringLiteral("wavorax-german-test.ini")).toStdString());
  CMainDlg window(store, QString());
  window.show();
  auto* add = window.findChild<CSkinButton*>(QStringLiteral("button-add-files"));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add->text(), QStringLiteral("&Dateien..."));
  EXPECT_EQ(add->accessibleName(), QStringLiteral("Dateien..."));
  auto* view = window.findChild<QTreeView*>();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Länge"));
}

struct EngineCase {
  const char* english;
  const char* german;
};

class GermanEngineText : public testing::TestWithParam<EngineCase> {};

// Whole texts, composed ones with their parts, parts translated in turn, and unknown texts
// (file names) left alone.
TEST_P(GermanEngineText, IsShownInGerman) {
  EXPECT_EQ(i18n::EngineText(GetParam().english), QString::fromUtf8(GetParam().german));
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, GermanEngineText,
    testing::Values(EngineCase{"Conversion Failure", "Konvertierung fehlgeschlagen"},
                    EngineCase{"Cancelled", "Abgebrochen"}, EngineCase{"song.mp3", "song.mp3"},
                    EngineCase{"Converting 2 of 10 file(s) to MP3...",
                               "Datei 2 von 10 wird in MP3 konvertiert ..."},
                    EngineCase{
                        "song.mp3 (source kept: No usable trash on the file's file system)",
                        "song.mp3 (Quelle behalten: Kein nutzbarer Papierkorb auf dem Dateisystem "
                        "der Datei)"},
                    EngineCase{"Failed to create folder \"/a %2 b\"",
                               "Der Ordner „/a %2 b“ konnte nicht angelegt werden"}));

TEST(GermanHelp, OpensTheGermanPages) {
  const QString help = kBuild + QStringLiteral("/share/wavorax/help");
  EXPECT_EQ(LocalisedHelpIndex(help, QLocale::system()), help + QStringLiteral("/de/index.html"));
  EXPECT_EQ(LocalisedHelpIndex(help, QLocale(QLocale::English)),
            help + QStringLiteral("/index.html"));
}

}  // namespace
}  // namespace wavorax::ui

int main(int argc, char** argv) {
  // The locale is read once, so it is set before anything asks for it.
  setenv("LANG", "de_DE.UTF-8", 1);
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"}) unsetenv(name);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  if (!wavorax::i18n::LoadTranslations(
          QStringLiteral(WAVORAX_BINARY_DIR "/share/wavorax/translations"))) {
    std::fprintf(stderr, "the German catalogue is not built\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
