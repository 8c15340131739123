// Command-line options of wavorax-cli.
#pragma once

#include <string>
#include <vector>

#include "settings/ConversionSettings.h"

namespace wavorax::cli {

struct Options {
  std::vector<std::string> sources;
  std::string settingsFile;  // empty: the user's store
  int jobs = 0;              // 0: one per CPU
  bool list = false;
  bool help = false;
  bool json = false;
  bool dryRun = false;
  // A list of further sources, NUL- or newline-separated; "-" is standard input.
  std::string filesFrom;
  // Settings changes in command-line order, as NAME=VALUE (the options -f, -o, --mirror and
  // --if-exists are turned into these too).
  std::vector<std::string> assignments;
};

// Parses argv; false with `error` set on a usage error.
bool ParseOptions(int argc, const char* const* argv, Options& options, std::string& error);

// Applies one NAME=VALUE to the record: a stored setting name, or a field of a user tag as
// MP3ID3Tag.title, M4AID3Tag.track ... False with `error` set for an unknown name or a value
// of the wrong kind.
bool ApplyAssignment(ConversionSettings& settings, const std::string& assignment,
                     std::string& error);

std::string UsageText();

}  // namespace wavorax::cli
