// Prints the words that the shell completions offer and that only the program knows: the
// target formats' -f names and the settings --set takes (user tag fields as Name.field).
// The build runs it, so the completions never fall behind the program.
#include <cstdio>
#include <string>

#include "engine/Targets.h"
#include "settings/ConversionSettings.h"

int main() {
  std::string formats, settings;
  for (const wavorax::TargetInfo& t : wavorax::Targets()) formats += std::string(" ") + t.cliName;
  for (const wavorax::SettingField& f : wavorax::SettingFields()) {
    if (f.kind != wavorax::SettingKind::Tag) {
      settings += std::string(" ") + f.name;
      continue;
    }
    for (const char* field : {"useFileNameAsTitle", "title", "artist", "album", "year", "genre",
                              "comment", "trackMode", "track"})
      settings += std::string(" ") + f.name + "." + field;
  }
  std::printf("FORMATS=\"%s\"\nSETTINGS=\"%s\"\n", formats.c_str() + 1, settings.c_str() + 1);
  return 0;
}
