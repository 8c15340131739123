#include "tests/support/TestSupport.h"

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace wavorax::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/wavorax-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write permission first, so that tests that made folders read-only still clean up.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

CommandResult Run(const std::string& commandLine) {
  CommandResult result;
  // The command's own redirections, inside the parentheses, take precedence.
  FILE* pipe = ::popen(("(" + commandLine + ") 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) result.output.append(buf, n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

bool HaveTool(const std::string& name) {
  return Run("command -v " + ShellQuote(name) + " >/dev/null").exitCode == 0;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string FfprobeStream(const std::string& path, const std::string& field) {
  // Warnings about the file go to /dev/null: only the value is wanted.
  auto r = Run("ffprobe -v error -select_streams a:0 -show_entries stream=" + field +
               " -of default=noprint_wrappers=1:nokey=1 " + ShellQuote(path) + " 2>/dev/null");
  std::string s = r.output;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return r.exitCode == 0 ? s : std::string();
}

std::string FfprobeFormat(const std::string& path, const std::string& field) {
  auto r = Run("ffprobe -v error -show_entries format=" + field +
               " -of default=noprint_wrappers=1:nokey=1 " + ShellQuote(path) + " 2>/dev/null");
  std::string s = r.output;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return r.exitCode == 0 ? s : std::string();
}

std::string FfprobeTag(const std::string& path, const std::string& tag) {
  for (const char* section : {"format_tags=", "stream_tags="}) {
    auto r = Run("ffprobe -v error -show_entries " + std::string(section) + tag +
                 " -of default=noprint_wrappers=1:nokey=1 " + ShellQuote(path) + " 2>/dev/null");
    std::string s = r.output;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    if (r.exitCode == 0 && !s.empty()) return s;
  }
  return {};
}

bool FfmpegDecodeS16(const std::string& path, std::vector<std::int16_t>& samples, int* channels,
                     int* sampleRate) {
  TempDir dir;
  const std::string raw = dir / "out.raw";
  auto r = Run("ffmpeg -v error -nostdin -y -i " + ShellQuote(path) + " -f s16le -c:a pcm_s16le " +
               ShellQuote(raw));
  if (r.exitCode != 0) return false;
  auto bytes = ReadFileBytes(raw);
  samples.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  if (channels) *channels = std::atoi(FfprobeStream(path, "channels").c_str());
  if (sampleRate) *sampleRate = std::atoi(FfprobeStream(path, "sample_rate").c_str());
  return true;
}

std::vector<std::int16_t> Sine(double frequency, int sampleRate, std::size_t frames,
                               double amplitude) {
  std::vector<std::int16_t> out(frames);
  for (std::size_t i = 0; i < frames; ++i)
    out[i] = static_cast<std::int16_t>(std::lround(
        amplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * double(i) / sampleRate)));
  return out;
}

static void Put32(std::ofstream& out, std::uint32_t v) {
  const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.write(b, 4);
}
static void Put16(std::ofstream& out, std::uint16_t v) {
  const char b[2] = {char(v), char(v >> 8)};
  out.write(b, 2);
}

void WriteWav16(const std::string& path, const std::vector<std::int16_t>& interleaved, int channels,
                int sampleRate) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(interleaved.size() * 2);
  out.write("RIFF", 4);
  Put32(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, static_cast<std::uint16_t>(channels));
  Put32(out, static_cast<std::uint32_t>(sampleRate));
  Put32(out, static_cast<std::uint32_t>(sampleRate * channels * 2));
  Put16(out, static_cast<std::uint16_t>(channels * 2));
  Put16(out, 16);
  out.write("data", 4);
  Put32(out, dataBytes);
  for (std::int16_t s : interleaved) Put16(out, static_cast<std::uint16_t>(s));
}

double SnrDb(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test) {
  const std::size_t n = std::min(reference.size(), test.size());
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double r = reference[i], d = double(test[i]) - r;
    signal += r * r;
    noise += d * d;
  }
  if (noise == 0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(signal / noise);
}

double RmsDb(const std::vector<std::int16_t>& samples) {
  if (samples.empty()) return -std::numeric_limits<double>::infinity();
  double sum = 0;
  for (std::int16_t s : samples) sum += double(s) * s;
  return 10.0 * std::log10(sum / samples.size() / (32768.0 * 32768.0));
}

}  // namespace wavorax::test
