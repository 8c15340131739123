#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QStringList>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>

#include "app/Translations.h"
#include "base/Paths.h"
#include "engine/Targets.h"
#include "engine/library/NamePattern.h"

namespace wavorax::cli {

using i18n::Fill;
using i18n::translate;

namespace {

bool ParseInt(const std::string& text, std::int32_t& value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

// The -f names of every target, "mp3, wav, ... or m4b".
std::string FormatNames() {
  std::string names;
  const TargetTable& targets = Targets();
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (i > 0) names += i + 1 == targets.size() ? translate("Cli", " or ") : ", ";
    names += targets[i].cliName;
  }
  return names;
}

// The target code that -f NAME selects, whatever the case of the name.
bool FormatCode(const std::string& name, int& code) {
  for (const TargetInfo& t : Targets())
    if (EqualsNoCase(name, t.cliName)) {
      code = t.code;
      return true;
    }
  return false;
}

bool ApplyTagField(TagRecord& tag, const std::string& field, const std::string& value,
                   std::string& error) {
  std::int32_t number = 0;
  auto text = [&](std::string& target, std::size_t limit) {
    std::size_t characters = 0;
    for (unsigned char c : value) characters += (c & 0xC0) != 0x80;
    if (characters > limit) {
      error =
          Fill(translate("Cli", "%1 holds at most %2 characters"), {field, std::to_string(limit)});
      return false;
    }
    target = value;
    return true;
  };
  auto integer = [&](std::int32_t& target) {
    if (!ParseInt(value, number)) {
      error = Fill(translate("Cli", "%1 needs a number"), {field});
      return false;
    }
    target = number;
    return true;
  };
  if (field == "title") return text(tag.title, 30);
  if (field == "artist") return text(tag.artist, 30);
  if (field == "album") return text(tag.album, 30);
  if (field == "year") return text(tag.year, 4);
  if (field == "comment") return text(tag.comment, 30);
  if (field == "useFileNameAsTitle") return integer(tag.useFileNameAsTitle);
  if (field == "trackMode") return integer(tag.trackMode);
  if (field == "track") return integer(tag.track);
  if (field == "genre") {
    if (ParseInt(value, number)) {
      tag.genre = number;
      return true;
    }
    if (EqualsNoCase(value, "none")) {
      tag.genre = kNoGenre;
      return true;
    }
    for (int i = 0; i < kGenreCount; ++i)
      if (EqualsNoCase(GenreName(i), value)) {
        tag.genre = i;
        return true;
      }
    error = Fill(translate("Cli", "unknown genre \"%1\""), {value});
    return false;
  }
  error = Fill(translate("Cli", "unknown tag field \"%1\""), {field});
  return false;
}

// Arguments go through Qt's parser as Latin-1, one character per byte, so that a file name
// that is not UTF-8 comes back byte for byte.
QString Arg(const char* text) { return QString::fromLatin1(text); }
std::string Bytes(const QString& text) { return text.toLatin1().toStdString(); }

// The parser's own error texts, turned into this program's: unknown options are named as
// given, a missing value names its option.
std::string UsageError(const QCommandLineParser& parser, int argc, const char* const* argv) {
  const QStringList unknown = parser.unknownOptionNames();
  if (!unknown.isEmpty()) {
    const std::string name = Bytes(unknown.front());
    const std::string dashed = (name.size() == 1 ? "-" : "--") + name;
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg == "--") break;
      if (arg.rfind(dashed, 0) == 0 &&
          (arg.size() == dashed.size() || arg[dashed.size()] == '=' || name.size() == 1))
        return Fill(translate("Cli", "unknown option \"%1\""), {arg});
    }
    return Fill(translate("Cli", "unknown option \"%1\""), {dashed});
  }
  const std::string text = Bytes(parser.errorText());
  const auto open = text.find('\''), close = text.rfind('\'');
  if (text.rfind("Missing value", 0) == 0 && open != std::string::npos && close > open)
    return Fill(translate("Cli", "%1 needs a value"), {text.substr(open + 1, close - open - 1)});
  return text;
}

}  // namespace

bool ApplyAssignment(ConversionSettings& settings, const std::string& assignment,
                     std::string& error) {
  const auto eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0) {
    error = Fill(translate("Cli", "--set needs NAME=VALUE, got \"%1\""), {assignment});
    return false;
  }
  const std::string name = assignment.substr(0, eq), value = assignment.substr(eq + 1);
  const auto dot = name.find('.');
  const SettingField* field = FindSettingField(name.substr(0, dot));
  if (!field) {
    error = Fill(translate("Cli", "unknown setting \"%1\""), {name});
    return false;
  }
  if (dot != std::string::npos) {
    if (field->kind != SettingKind::Tag) {
      error = Fill(translate("Cli", "unknown setting \"%1\""), {name});
      return false;
    }
    return ApplyTagField(settings.*(field->tagField), name.substr(dot + 1), value, error);
  }
  switch (field->kind) {
    case SettingKind::Int: {
      std::int32_t number = 0;
      if (!ParseInt(value, number)) {
        error = Fill(translate("Cli", "%1 needs a whole number, got \"%2\""), {name, value});
        return false;
      }
      // A value given here is taken as if it had been stored: what the store would correct
      // on loading is corrected here too.
      settings.*(field->intField) = CorrectLoadedValue(field->name, number);
      return true;
    }
    case SettingKind::Text:
      settings.*(field->textField) = value;
      return true;
    case SettingKind::Tag:
      error = Fill(translate("Cli", "%1 is set field by field, as %1.title=..."), {name});
      return false;
  }
  return false;
}

namespace {

// The loudness options: --replaygain track|album and --normalise LUFS, turned into their
// settings. False with `error` set on a bad value.
const QList<QCommandLineOption>& LoudnessOptions() {
  static const QList<QCommandLineOption> options = {
      {"replaygain", "", "MODE"},
      {"normalise", "", "LUFS"},
  };
  return options;
}

bool ApplyLoudnessOption(const QString& name, const std::string& value, Options& o,
                         std::string& error) {
  if (name == "replaygain") {
    if (value != "track" && value != "album" && value != "off") {
      error = translate("Cli", "--replaygain takes track, album or off");
      return false;
    }
    o.assignments.push_back(std::string("ReplayGainMode=") + (value == "album"   ? "2"
                                                              : value == "track" ? "1"
                                                                                 : "0"));
    return true;
  }
  std::int32_t lufs = 0;
  // "-18" and "18" both mean -18 LUFS.
  if (!ParseInt(value, lufs) || std::abs(lufs) < 5 || std::abs(lufs) > 31) {
    error = translate("Cli", "--normalise needs a level from -31 to -5 LUFS");
    return false;
  }
  o.assignments.push_back("NormaliseLoudness=1");
  o.assignments.push_back("NormaliseTarget=" + std::to_string(-std::abs(lufs)));
  return true;
}

}  // namespace

bool ParseOptions(int argc, const char* const* argv, Options& o, std::string& error) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  // Each option's canonical name, the first of its names.
  const QList<QCommandLineOption> options =
      QList<QCommandLineOption>{
          {{"h", "help"}, ""},
          {"list", ""},
          {"json", ""},
          {"dry-run", ""},
          {"verify", ""},
          {"mirror", ""},
          {"files-from", "", "FILE"},
          {{"f", "format"}, "", "FORMAT"},
          {{"o", "output-dir"}, "", "DIR"},
          {"if-exists", "", "POLICY"},
          {"set", "", "NAME=VALUE"},
          {"settings", "", "FILE"},
          {{"j", "jobs"}, "", "N"},
          // Whole libraries.
          {"name-pattern", "", "PATTERN"},
          {"fat-safe", ""},
          {"sync", ""},
          {"remove-orphans", ""},
          {"trash-sources", ""},
      } +
      LoudnessOptions();
  parser.addOptions(options);
  // A switch given as --list=VALUE has always ignored the value.
  QStringList arguments;
  bool onlySources = false;
  for (int i = 0; i < argc; ++i) {
    QString arg = Arg(argv[i]);
    onlySources = onlySources || arg == "--";
    const auto eq = arg.indexOf('=');
    if (!onlySources && arg.startsWith("--") && eq > 2) {
      const QString name = arg.mid(2, eq - 2);
      for (const auto& option : options)
        if (option.valueName().isEmpty() && option.names().contains(name)) arg.truncate(eq);
    }
    arguments << arg;
  }
  if (!parser.parse(arguments)) {
    error = UsageError(parser, argc, argv);
    return false;
  }

  // Options act in command-line order: a later -f or --set wins over an earlier one.
  std::map<QString, QString> canonical;
  for (const auto& option : options)
    for (const QString& name : option.names()) canonical[name] = option.names().front();
  std::map<QString, int> seen;
  std::string outputDir, namePattern;
  bool byPattern = false;
  for (const QString& found : parser.optionNames()) {
    const QString name = canonical[found];
    const QStringList values = parser.values(name);
    const int k = seen[name]++;
    const std::string value = k < values.size() ? Bytes(values[k]) : std::string();
    const std::string shown = Bytes((found.size() == 1 ? "-" : "--") + found);
    if (name == "h") {
      o.help = true;
    } else if (name == "list") {
      o.list = true;
    } else if (name == "json") {
      o.json = true;
    } else if (name == "dry-run") {
      o.dryRun = true;
    } else if (name == "verify") {
      o.assignments.push_back("VerifyOutputs=1");
    } else if (name == "mirror") {
      o.assignments.push_back("CreateDirs=1");
    } else if (name == "files-from") {
      if (value.empty()) {
        error = translate("Cli", "--files-from needs a file, or - for standard input");
        return false;
      }
      o.filesFrom = value;
    } else if (name == "f") {
      int code = 0;
      if (!FormatCode(value, code)) {
        error = Fill(translate("Cli", "unknown format \"%1\" (%2)"), {value, FormatNames()});
        return false;
      }
      o.assignments.push_back("OutputFormat=" + std::to_string(code));
    } else if (name == "o") {
      if (value.empty()) {
        error = translate("Cli", "the output folder is empty");
        return false;
      }
      o.assignments.push_back("DestOutputFolderOpt=" + std::to_string(kFolderCustom));
      o.assignments.push_back("DestSpecifiedFolder=" + value);
      outputDir = value;
    } else if (name == "if-exists") {
      int code = value == "rename"      ? kExistsAutoRename
                 : value == "overwrite" ? kExistsOverwrite
                 : value == "skip"      ? kExistsSkip
                                        : 0;
      if (!code) {
        error = translate("Cli", "--if-exists takes rename, overwrite or skip");
        return false;
      }
      o.assignments.push_back("TargetExistsOpt=" + std::to_string(code));
    } else if (name == "set") {
      o.assignments.push_back(value);
    } else if (name == "settings") {
      o.settingsFile = value;
    } else if (name == "j") {
      std::int32_t jobs = 0;
      if (!ParseInt(value, jobs) || jobs < 1 || jobs > 256) {
        error = translate("Cli", "--jobs needs a number from 1 to 256");
        return false;
      }
      o.jobs = jobs;
    } else if (name == "name-pattern") {
      const std::string reason = library::ValidatePattern(value);
      if (!reason.empty()) {
        error = "--name-pattern: " + i18n::EngineTextUtf8(reason);
        return false;
      }
      byPattern = true;
      namePattern = value;
    } else if (name == "fat-safe") {
      o.assignments.push_back("FatSafeNames=1");
    } else if (name == "sync") {
      o.assignments.push_back("SyncOutputs=1");
    } else if (name == "remove-orphans") {
      o.assignments.push_back("SyncOutputs=1");
      o.assignments.push_back("RemoveOrphans=1");
    } else if (name == "trash-sources") {
      o.assignments.push_back("TrashSources=1");
    } else if (name == "replaygain" || name == "normalise") {
      if (!ApplyLoudnessOption(name, value, o, error)) return false;
    } else {
      error = Fill(translate("Cli", "unknown option \"%1\""), {shown});
      return false;
    }
  }
  // The pattern's names start in the -o folder, wherever the two stand on the line.
  if (byPattern) {
    if (outputDir.empty()) {
      error = translate("Cli", "--name-pattern needs -o DIR, the folder the names start in");
      return false;
    }
    o.assignments.push_back("DestOutputFolderOpt=" + std::to_string(kFolderPattern));
    o.assignments.push_back("NamePattern=" + namePattern);
    o.assignments.push_back("NamePatternBase=" + outputDir);
  }
  for (const QString& source : parser.positionalArguments()) o.sources.push_back(Bytes(source));
  // Validate the assignments now, so that a bad --set is a usage error before any work.
  ConversionSettings probe;
  for (const auto& a : o.assignments)
    if (!ApplyAssignment(probe, a, error)) return false;
  if (!o.help && o.sources.empty() && o.filesFrom.empty()) {
    error = translate("Cli", "no source files or folders given");
    return false;
  }
  return true;
}

std::string UsageText() {
  std::string upper = FormatNames();
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  // The words between the names stay in lower case.
  const std::string separator = translate("Cli", " or ");
  std::string shouted = separator;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (std::size_t at; (at = upper.find(shouted)) != std::string::npos;)
    upper.replace(at, shouted.size(), separator);
  return Fill(translate("Cli", R"(Usage: wavorax-cli [OPTIONS] SOURCE...

Converts audio files to %1 with the settings of Wavorax.
A SOURCE file is taken whatever its extension; a folder is searched with its subfolders
for the file types switched on in the settings (BatchAdd...).

Options:
  -f, --format FORMAT      target format: %2
  -o, --output-dir DIR     write the outputs into DIR instead of next to each source
      --mirror             below DIR, recreate each source's folder path
      --if-exists POLICY   when the output exists: rename (add a number), overwrite, skip
      --set NAME=VALUE     any setting by its stored name, for this run only, e.g.
                           --set MP3BitRate=192 --set AutoDestMP3EncodingParam=0;
                           user tag fields as MP3ID3Tag.title=..., M4AID3Tag.trackMode=1
      --settings FILE      read the settings from FILE instead of the user's store
  -j, --jobs N             convert N files at once (default: one per CPU)
      --files-from FILE    also convert the sources listed in FILE (- for standard input),
                           one per line or separated by NUL characters
      --name-pattern PATTERN
                           name each output from the source's tags, below the -o folder:
                           %albumartist|artist%/%album%/%disc%-%track% %title%
                           (fields artist albumartist album title track disc year genre
                           filename folder ext; missing folders are created)
      --fat-safe           keep pattern names to what FAT and Windows shares accept
      --sync               only convert what changed: a source whose output below the
                           output folder is up to date is left alone ("Up to date")
      --remove-orphans     with --sync (implied), move outputs whose source is gone to
                           the Trash
      --trash-sources      move each source to the Trash once its own output was written
                           and verified (the check runs for it even without --verify)
      --verify             decode each output again once written; one whose length differs
                           from the source's is removed ("Verification Failure")
      --dry-run            print each source with the output it would get (new, renamed
                           to, overwrite, skipped, refused) and create nothing
      --list               print the rows (File, Length, Bit Rate, Freq., Channels) and
                           convert nothing
      --json               write one JSON object per line for every event
      --replaygain MODE    track or album: measure each output's loudness (EBU R128) as
                           it is written and tag its ReplayGain 2.0 gain to -18 LUFS
                           (Opus: R128 gains; WAV and raw AAC take no tags); an album
                           is the files sharing the album tag and the source folder
      --normalise LUFS     decode each source once to measure it, then bring its output
                           to LUFS (-31 to -5), its true peak at most -1 dBTP; with
                           --replaygain album an album as a whole
  -h, --help               show this text

The settings are read, never written. Exit status: 0 when everything converted, 1 when a
file failed, was skipped or could not be loaded, 2 on a usage error, 130 after Ctrl+C.
)"),
              {upper, FormatNames()});
}

}  // namespace wavorax::cli
