// Small helpers for the tests: temporary folders, running the independent checker tools
// (ffmpeg, sox, faad ...), and generated signals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wavorax::test {

// A fresh folder under $TMPDIR, removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output and standard error together
};

// Runs a shell command line; its output is captured.
CommandResult Run(const std::string& commandLine);

// Quotes a string for a POSIX shell.
std::string ShellQuote(const std::string& s);

// Whether a program is on PATH.
bool HaveTool(const std::string& name);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Decodes any file that ffmpeg reads to interleaved signed 16-bit PCM with its own
// channel count and rate (no resampling). Returns false when ffmpeg fails.
bool FfmpegDecodeS16(const std::string& path, std::vector<std::int16_t>& samples,
                     int* channels = nullptr, int* sampleRate = nullptr);

// One ffprobe field of the first audio stream (e.g. "sample_rate", "channels",
// "bit_rate", "duration", "codec_name"), or "" when absent.
std::string FfprobeStream(const std::string& path, const std::string& field);
// One ffprobe field of the container (e.g. "duration", "bit_rate", "format_name").
std::string FfprobeFormat(const std::string& path, const std::string& field);
// A container tag (e.g. "title"), or "".
std::string FfprobeTag(const std::string& path, const std::string& tag);

// A sine wave of `frequency` Hz at `amplitude` (0..1 of full scale), `frames` long.
std::vector<std::int16_t> Sine(double frequency, int sampleRate, std::size_t frames,
                               double amplitude = 0.5);

// Writes a canonical 16-bit PCM WAV file from interleaved samples.
void WriteWav16(const std::string& path, const std::vector<std::int16_t>& interleaved, int channels,
                int sampleRate);

// Signal-to-noise ratio of `test` against `reference` in dB (equal lengths compared up to
// the shorter one); +infinity when identical.
double SnrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test);

// RMS level in dBFS.
double RmsDb(const std::vector<std::int16_t>& samples);

}  // namespace wavorax::test
