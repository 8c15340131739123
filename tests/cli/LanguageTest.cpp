// wavorax-cli under a German locale: the human texts come from the German catalogue, the JSON
// lines stay English for the programs that read them.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestSupport.h"

namespace wavorax {
namespace {

using test::ShellQuote;

struct LanguageCase {
  const char* name;
  const char* args;     // after --settings and the source, {out} for the output folder
  const char* german;   // a text that appears under LANG=de_DE.UTF-8 only
  const char* english;  // one that appears under LANG=C
};

class CliLanguage : public testing::TestWithParam<LanguageCase> {};

TEST_P(CliLanguage, FollowsTheLocaleExceptInJson) {
  const std::string cli = std::string(WAVORAX_BINARY_DIR) + "/cli/wavorax-cli";
  test::TempDir dir;
  test::WriteWav16(dir / "s.wav", test::Sine(440, 8000, 4000, 0.5), 1, 8000);
  // The output exists already, so that converting with skip gives a status to read.
  ASSERT_EQ(
      test::Run("cp " + ShellQuote(dir / "s.wav") + " " + ShellQuote(dir / "out.wav")).exitCode, 0);
  std::string args = GetParam().args;
  args.replace(args.find("{out}"), 5, ShellQuote(dir.path()));
  const std::string tail = " " + ShellQuote(cli) + " --settings " + ShellQuote(dir / "none.ini") +
                           " " + args + " " + ShellQuote(dir / "s.wav") + " 2>&1";
  const std::string clean = "env -u LC_ALL -u LC_MESSAGES -u LANGUAGE";
  const std::string german = test::Run(clean + " LANG=de_DE.UTF-8" + tail).output;
  const std::string english = test::Run(clean + " LANG=C" + tail).output;
  EXPECT_NE(english.find(GetParam().english), std::string::npos) << english;
  EXPECT_EQ(english.find(GetParam().german), std::string::npos) << english;
  if (args.find("--json") != std::string::npos) {
    EXPECT_EQ(german, english);
  } else {
    EXPECT_NE(german.find(GetParam().german), std::string::npos) << german;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, CliLanguage,
    testing::Values(
        LanguageCase{"Help", "--help {out}", "Aufruf: wavorax-cli [OPTIONEN] QUELLE...",
                     "Usage: wavorax-cli [OPTIONS] SOURCE..."},
        LanguageCase{"Status", "-f wav --if-exists skip -o {out}",
                     "s.wav: Ziel vorhanden, übersprungen", "s.wav: Target exists and skipped"},
        LanguageCase{"DryRun", "--dry-run -f wav -o {out}", ": umbenannt in ", ": renamed to "},
        LanguageCase{"UsageError", "--jobs 0 {out}", "--jobs braucht eine Zahl von 1 bis 256",
                     "--jobs needs a number from 1 to 256"},
        LanguageCase{"JsonStaysEnglish", "--json -f wav --if-exists skip -o {out}", "übersprungen",
                     "\"status\":\"Target exists and skipped\""}),
    [](const testing::TestParamInfo<LanguageCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wavorax
