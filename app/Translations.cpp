#include "app/Translations.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>
#include <array>
#include <memory>
#include <vector>

namespace wavorax::i18n {

namespace {

// Loaded once for the process; the application, when there is one, holds them as well.
struct Catalogues {
  std::unique_ptr<QTranslator> program;
  std::unique_ptr<QTranslator> qt;
  bool installed = false;
};

Catalogues& Loaded() {
  static Catalogues catalogues;
  return catalogues;
}

QString ProgramDir() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  // wavorax-cli runs without an application object.
  std::array<char, 4096> buf{};
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return QDir::currentPath();
  return QFileInfo(QString::fromLocal8Bit(buf.data(), static_cast<int>(n))).absolutePath();
}

// The texts the engine hands over, whole or as the templates it builds them from (%1, %2
// stand for the parts: file names, numbers, reasons). The engine spells them in English; the
// English here must match it byte for byte, or the text is shown as it came.
const char* const kEngineTexts[] = {
    // A row's status.
    QT_TRANSLATE_NOOP("Engine", "Converting..."),
    QT_TRANSLATE_NOOP("Engine", "Conversion Failure"),
    QT_TRANSLATE_NOOP("Engine", "Cancelled"),
    QT_TRANSLATE_NOOP("Engine", "Target exists and skipped"),
    QT_TRANSLATE_NOOP("Engine", "Verification Failure"),
    QT_TRANSLATE_NOOP("Engine", "Source changed while converting"),
    QT_TRANSLATE_NOOP("Engine",
                      "Target file name is same as original file that can't be "
                      "overwritten. Please output files to a custom folder."),
    QT_TRANSLATE_NOOP("Engine", "%1 (not verified: the source is gone)"),
    QT_TRANSLATE_NOOP("Engine", "%1 (source kept: it is the output)"),
    QT_TRANSLATE_NOOP("Engine", "%1 (source moved to the Trash)"),
    QT_TRANSLATE_NOOP("Engine", "%1 (normalised %2 dB)"),
    QT_TRANSLATE_NOOP("Engine", "%1 (source kept: %2)"),
    QT_TRANSLATE_NOOP("Engine", "Failed to create folder \"%1\""),
    QT_TRANSLATE_NOOP("Engine", "Failed to create file \"%1\""),
    // Keeping a converted copy in step.
    QT_TRANSLATE_NOOP("Engine", "Up to date"),
    QT_TRANSLATE_NOOP("Engine", "New"),
    QT_TRANSLATE_NOOP("Engine", "Changed"),
    QT_TRANSLATE_NOOP("Engine", "Output missing"),
    QT_TRANSLATE_NOOP("Engine", "Output changed"),
    QT_TRANSLATE_NOOP("Engine", "Failed its check"),
    QT_TRANSLATE_NOOP("Engine", "Source not found"),
    QT_TRANSLATE_NOOP("Engine", "No output name"),
    QT_TRANSLATE_NOOP("Engine", "Output name taken"),
    QT_TRANSLATE_NOOP("Engine", "Only converting what changed needs an output folder"),
    QT_TRANSLATE_NOOP("Engine", "Unknown output format"),
    QT_TRANSLATE_NOOP("Engine", "The outputs have no base folder"),
    QT_TRANSLATE_NOOP("Engine", "Naming pattern refused: %1"),
    QT_TRANSLATE_NOOP("Engine", "Moved to the Trash (%1)"),
    QT_TRANSLATE_NOOP("Engine", "would move to the Trash (%1)"),
    QT_TRANSLATE_NOOP("Engine", "Kept: %1"),
    QT_TRANSLATE_NOOP("Engine", "source gone"),
    QT_TRANSLATE_NOOP("Engine", "superseded"),
    QT_TRANSLATE_NOOP("Engine", "Could not write the sync state: %1"),
    QT_TRANSLATE_NOOP("Engine", "Could not open the sync state: %1"),
    // The naming pattern's checks.
    QT_TRANSLATE_NOOP("Engine", "The naming pattern is empty."),
    QT_TRANSLATE_NOOP("Engine",
                      "The naming pattern must be relative to the output folder: it "
                      "must not begin with /."),
    QT_TRANSLATE_NOOP("Engine", "The naming pattern must not use . or .. as a folder."),
    QT_TRANSLATE_NOOP("Engine", "The naming pattern has a % without the % that closes its field."),
    QT_TRANSLATE_NOOP("Engine", "The naming pattern must end with a file name, not with /."),
    // The Trash.
    QT_TRANSLATE_NOOP("Engine", "Could not write to the trash: %1"),
    QT_TRANSLATE_NOOP("Engine", "Could not write to the trash"),
    QT_TRANSLATE_NOOP("Engine", "No usable trash on the file's file system"),
    QT_TRANSLATE_NOOP("Engine", "Could not move to the trash: %1"),
    QT_TRANSLATE_NOOP("Engine", "The trash has no free name for the file"),
    QT_TRANSLATE_NOOP("Engine", "The file is not there"),
    QT_TRANSLATE_NOOP("Engine", "Folders are not moved to the trash"),
    QT_TRANSLATE_NOOP("Engine", "The home trash cannot be used"),
    QT_TRANSLATE_NOOP("Engine", "The file does not lie under its trash's top folder"),
    // Messages of a batch.
    QT_TRANSLATE_NOOP("Engine", "You should select a file at least."),
    QT_TRANSLATE_NOOP("Engine", "There aren't files in list."),
    // The progress windows.
    QT_TRANSLATE_NOOP("Engine", "Converting %1 of %2 file(s) to %3..."),
    QT_TRANSLATE_NOOP("Engine", "Converting %1...%2%"),
    QT_TRANSLATE_NOOP("Engine", "Adding file %1 of %2..."),
    QT_TRANSLATE_NOOP("Engine", "A few seconds left"),
    QT_TRANSLATE_NOOP("Engine", "About %1 seconds left"),
    QT_TRANSLATE_NOOP("Engine", "About 1 minute left"),
    QT_TRANSLATE_NOOP("Engine", "About %1 minutes left"),
    QT_TRANSLATE_NOOP("Engine", "About 1 hour left"),
    QT_TRANSLATE_NOOP("Engine", "About %1 hours left"),
    QT_TRANSLATE_NOOP("Engine", "About 1 hour %1 minutes left"),
    QT_TRANSLATE_NOOP("Engine", "About %1 hours %2 minutes left"),
    QT_TRANSLATE_NOOP("Engine",
                      "Failed to load the following files.\n\n%1\nTo get help, please "
                      "contact <support@quelbrook.example>."),
    QT_TRANSLATE_NOOP("Engine", "<more files>..."),
    // The list's Channels column.
    QT_TRANSLATE_NOOP("Engine", "Mono"),
    QT_TRANSLATE_NOOP("Engine", "Stereo"),
    QT_TRANSLATE_NOOP("Engine", "J-Stereo"),
    QT_TRANSLATE_NOOP("Engine", "Dual Channel"),
};

struct Template {
  const char* english;
  QRegularExpression match;
};

// The composed texts as patterns: each %n becomes a part to capture.
const std::vector<Template>& Templates() {
  static const std::vector<Template> templates = [] {
    std::vector<Template> out;
    static const QRegularExpression marker(QStringLiteral("%[1-9]"));
    for (const char* english : kEngineTexts) {
      const QString text = QString::fromUtf8(english);
      if (!text.contains(marker)) continue;
      QString pattern = QStringLiteral("^");
      qsizetype at = 0;
      for (auto it = marker.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        pattern += QRegularExpression::escape(text.mid(at, m.capturedStart() - at));
        pattern += QStringLiteral("(.*?)");
        at = m.capturedEnd();
      }
      pattern += QRegularExpression::escape(text.mid(at)) + QStringLiteral("$");
      out.push_back(
          {english, QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption)});
    }
    return out;
  }();
  return templates;
}

QString TranslatedEngineText(const QString& text, int depth) {
  const Catalogues& c = Loaded();
  if (!c.program || text.isEmpty()) return text;
  const QByteArray utf8 = text.toUtf8();
  const QString whole = c.program->translate("Engine", utf8.constData());
  if (!whole.isEmpty()) return whole;
  if (depth > 3) return text;
  for (const Template& t : Templates()) {
    const QRegularExpressionMatch m = t.match.match(text);
    if (!m.hasMatch()) continue;
    QString result = c.program->translate("Engine", t.english);
    if (result.isEmpty()) return text;
    // The parts are put in all at once, so that a part holding "%2" stays as it is.
    QStringList parts;
    for (int i = 1; i <= m.lastCapturedIndex(); ++i)
      parts << TranslatedEngineText(m.captured(i), depth + 1);
    switch (parts.size()) {
      case 1:
        return result.arg(parts[0]);
      case 2:
        return result.arg(parts[0], parts[1]);
      default:
        return result.arg(parts[0], parts[1], parts[2]);
    }
  }
  return text;
}

}  // namespace

QString TranslationsDir() {
  return QDir::cleanPath(ProgramDir() + QStringLiteral("/../share/wavorax/translations"));
}

bool LoadTranslations(const QString& dir) {
  Catalogues& c = Loaded();
  if (!c.program) {
    const QLocale locale = QLocale::system();
    auto program = std::make_unique<QTranslator>();
    if (!program->load(locale, QStringLiteral("wavorax"), QStringLiteral("_"), dir)) return false;
    c.program = std::move(program);
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
      c.qt = std::move(qt);
  }
  // A program may load before its application exists (to answer --help) and again after.
  if (QCoreApplication::instance() && !c.installed) {
    QCoreApplication::installTranslator(c.program.get());
    if (c.qt) QCoreApplication::installTranslator(c.qt.get());
    c.installed = true;
  }
  return true;
}

QString Translated(const char* context, const char* text) {
  const Catalogues& c = Loaded();
  if (c.program) {
    const QString found = c.program->translate(context, text);
    if (!found.isEmpty()) return found;
  }
  return QString::fromUtf8(text);
}

std::string translate(const char* context, const char* text) {
  return Translated(context, text).toStdString();
}

QString EngineText(const std::string& text) {
  return TranslatedEngineText(QString::fromStdString(text), 0);
}

std::string EngineTextUtf8(const std::string& text) {
  if (!Loaded().program) return text;
  return EngineText(text).toStdString();
}

std::string Fill(const std::string& pattern, std::initializer_list<std::string> parts) {
  std::string out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    const auto n = static_cast<std::size_t>(next - '1');
    if (pattern[i] == '%' && next >= '1' && next <= '9' && n < parts.size()) {
      out += *(parts.begin() + n);
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace wavorax::i18n
