// SPDX-License-Identifier: GPL-3.0-or-later
// Small measuring tools for scripts/bench.sh.
//
//   benchkit now
//       prints the monotonic clock (CLOCK_MONOTONIC, seconds), the clock of every other stamp.
//   benchkit exec STAMP COMMAND [ARG...]
//       writes the monotonic clock (seconds) to STAMP, then becomes COMMAND: its process start.
//   benchkit tagclips SOURCE_DIR DEST_DIR
//       for every WAV file of SOURCE_DIR (16-bit mono) writes one of the same name and number of
//       frames to DEST_DIR whose samples all hold one value of its own; prints "NAME VALUE FRAMES"
//       per clip. Played by the panel, the sound output then tells exactly where each clip begins
//       and ends, with the real clips' timing.
//   benchkit stretches RAW_FILE
//       prints "START FRAMES VALUE" for every stretch of equal non-zero 16-bit samples.
//   benchkit wavspan WAV_FILE THRESHOLD
//       prints "LENGTH FIRST LAST" in seconds: the file's length and where its first and last
//       sample louder than THRESHOLD lie.
//   benchkit stretched PERCENT WAV_FILE...
//       prints "SECONDS MS": how long the clips (16-bit mono) last one after another at PERCENT of
//       their recorded pace, stretched as the panel stretches them when it loads them (the player
//       is gapless, so that is a readout's length), and the milliseconds the stretching took.
//   benchkit heard THRESHOLD
//       reads a WAV stream (16-bit mono) on standard input, as a speech engine writes it, and
//       prints "FIRST SPEECH": the monotonic clock when its first sample louder than THRESHOLD
//       arrived, and the seconds from that sample to the last one louder. For a speech service's
//       output command: key to first sample, and how long the phrase took to say.
//   benchkit first-sound THRESHOLD COMMAND [ARG...]
//       runs COMMAND, which writes a WAV stream to its standard output, and prints "FIRST END" in
//       milliseconds from its start: when the first sample louder than THRESHOLD arrived, and when
//       the stream ended. Exit status 1 when nothing louder came.
//   benchkit sounds THRESHOLD RATE GAP_MS
//       reads raw 16-bit mono samples at RATE on standard input as a recorder delivers them (parec
//       from a sound server's monitor) and prints "START LENGTH" for every sound, a run of samples
//       louder than THRESHOLD with no quiet of GAP_MS or more inside: the monotonic clock when its
//       first loud sample arrived, and the seconds from that sample to its last loud one. A line
//       is printed once the sound is over, or when the input ends.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/sdl/clip_tempo.h"

namespace {

namespace fs = std::filesystem;

double monotonicSeconds() {
  timespec at{};
  ::clock_gettime(CLOCK_MONOTONIC, &at);
  return static_cast<double>(at.tv_sec) + static_cast<double>(at.tv_nsec) / 1e9;
}

std::uint32_t readLE(const std::vector<unsigned char>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<std::size_t>(i)];
  return v;
}

std::int16_t sampleAt(const std::vector<unsigned char>& b, std::size_t at) {
  return static_cast<std::int16_t>(readLE(b, at, 2));
}

struct WavLayout {
  int channels = 0;
  int rate = 0;
  int bits = 0;
  std::size_t dataOffset = 0;
  std::size_t dataBytes = 0;  // as far as the bytes at hand reach
};

// The format and where the samples start, or nothing while the header is not complete (or is no
// WAV header at all).
std::optional<WavLayout> wavLayout(const std::vector<unsigned char>& b) {
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
      std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  WavLayout layout;
  std::size_t at = 12;
  while (at + 8 <= b.size()) {
    const std::uint32_t size = readLE(b, at + 4, 4);
    if (std::memcmp(b.data() + at, "fmt ", 4) == 0 && at + 8 + 16 <= b.size()) {
      layout.channels = static_cast<int>(readLE(b, at + 10, 2));
      layout.rate = static_cast<int>(readLE(b, at + 12, 4));
      layout.bits = static_cast<int>(readLE(b, at + 22, 2));
    }
    if (std::memcmp(b.data() + at, "data", 4) == 0) {
      layout.dataOffset = at + 8;
      layout.dataBytes = std::min<std::size_t>(size, b.size() - layout.dataOffset);
      if (layout.bits != 16 || layout.channels != 1) return std::nullopt;
      return layout;
    }
    at += 8 + size + (size & 1u);
  }
  return std::nullopt;
}

std::vector<unsigned char> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int execStamped(const std::string& stampPath, char** command) {
  const double now = monotonicSeconds();
  {
    std::ofstream stamp(stampPath);
    stamp.precision(6);
    stamp << std::fixed << now << "\n";
    if (!stamp) return 2;
  }
  ::execvp(command[0], command);
  std::fprintf(stderr, "benchkit: cannot run %s: %s\n", command[0], std::strerror(errno));
  return 127;
}

bool writeWav(const fs::path& path, int rate, std::int16_t value, std::size_t frames) {
  std::ofstream out(path, std::ios::binary);
  auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(v >> (8 * i) & 0xFF));
  };
  const auto dataBytes = static_cast<std::uint32_t>(frames * 2);
  const auto r = static_cast<std::uint32_t>(rate);
  out.write("RIFF", 4);
  put(36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(r, 4);
  put(r * 2, 4);
  put(2, 2);
  put(16, 2);
  out.write("data", 4);
  put(dataBytes, 4);
  for (std::size_t i = 0; i < frames; ++i) put(static_cast<std::uint16_t>(value), 2);
  return static_cast<bool>(out);
}

int tagClips(const fs::path& source, const fs::path& dest) {
  std::vector<fs::path> clips;
  for (const auto& entry : fs::directory_iterator(source))
    if (entry.path().extension() == ".wav") clips.push_back(entry.path());
  std::sort(clips.begin(), clips.end());
  fs::create_directories(dest);
  int tag = 0;
  for (const fs::path& clip : clips) {
    const auto layout = wavLayout(fileBytes(clip));
    if (!layout) {
      std::cerr << "benchkit: " << clip << " is no 16-bit mono WAV file\n";
      return 1;
    }
    tag += 300;
    const std::size_t frames = layout->dataBytes / 2;
    if (!writeWav(dest / clip.filename(), layout->rate, static_cast<std::int16_t>(tag), frames))
      return 1;
    std::cout << clip.stem().string() << " " << tag << " " << frames << "\n";
  }
  return 0;
}

int stretches(const std::string& path) {
  const std::vector<unsigned char> bytes = fileBytes(path);
  std::int16_t current = 0;
  std::size_t start = 0;
  const std::size_t frames = bytes.size() / 2;
  for (std::size_t i = 0; i <= frames; ++i) {
    const std::int16_t v = i < frames ? sampleAt(bytes, 2 * i) : 0;
    if (v == current) continue;
    if (current != 0) std::printf("%zu %zu %d\n", start, i - start, current);
    current = v;
    start = i;
  }
  return 0;
}

int wavSpan(const std::string& path, int threshold) {
  const std::vector<unsigned char> bytes = fileBytes(path);
  const auto layout = wavLayout(bytes);
  if (!layout || layout->rate <= 0) {
    std::cerr << "benchkit: " << path << " is no 16-bit mono WAV file\n";
    return 1;
  }
  const std::size_t frames = layout->dataBytes / 2;
  std::optional<std::size_t> first;
  std::size_t last = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    if (std::abs(sampleAt(bytes, layout->dataOffset + 2 * i)) <= threshold) continue;
    if (!first) first = i;
    last = i;
  }
  const double rate = layout->rate;
  std::printf("%.4f %.4f %.4f\n", static_cast<double>(frames) / rate,
              static_cast<double>(first.value_or(0)) / rate, static_cast<double>(last) / rate);
  return first ? 0 : 1;
}

// Reads a WAV stream from fd to its end into bytes; returns the monotonic clock when the first
// sample louder than threshold arrived, or nothing when none did.
std::optional<double> readWavStream(int fd, int threshold, std::vector<unsigned char>& bytes) {
  std::optional<double> heard;
  std::size_t scanned = 0;  // samples already looked at
  unsigned char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const double now = monotonicSeconds();
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (heard) continue;
    const auto layout = wavLayout(bytes);
    if (!layout) continue;
    for (; 2 * scanned + 1 < layout->dataBytes; ++scanned) {
      if (std::abs(sampleAt(bytes, layout->dataOffset + 2 * scanned)) > threshold) {
        heard = now;
        break;
      }
    }
  }
  return heard;
}

int firstSound(int threshold, char** command) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return 2;
  const double started = monotonicSeconds();
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::execvp(command[0], command);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  std::vector<unsigned char> bytes;
  const std::optional<double> heard = readWavStream(pipeFds[0], threshold, bytes);
  const double ended = monotonicSeconds();
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!heard) return 1;
  std::printf("%.3f %.3f\n", (*heard - started) * 1000.0, (ended - started) * 1000.0);
  return 0;
}

int stretched(int percent, char** paths, int count) {
  std::size_t frames = 0;
  double spent = 0;
  int rate = 0;
  for (int i = 0; i < count; ++i) {
    const auto bytes = fileBytes(paths[i]);
    const auto layout = wavLayout(bytes);
    if (!layout) {
      std::fprintf(stderr, "benchkit: %s is no 16-bit mono WAV file\n", paths[i]);
      return 2;
    }
    rate = layout->rate;
    std::vector<std::int16_t> samples(layout->dataBytes / 2);
    for (std::size_t j = 0; j < samples.size(); ++j) {
      samples[j] = sampleAt(bytes, layout->dataOffset + 2 * j);
    }
    const double started = monotonicSeconds();
    frames += orvane::sdl::changeTempo(samples, layout->rate, percent).size();
    spent += monotonicSeconds() - started;
  }
  if (rate <= 0) return 2;
  std::printf("%.3f %.1f\n", static_cast<double>(frames) / rate, spent * 1000.0);
  return 0;
}

int usage();

int heardOnInput(int threshold) {
  std::vector<unsigned char> bytes;
  const std::optional<double> heard = readWavStream(STDIN_FILENO, threshold, bytes);
  const auto layout = wavLayout(bytes);
  if (!heard || !layout || layout->rate <= 0) return 1;
  std::optional<std::size_t> first;
  std::size_t last = 0;
  for (std::size_t i = 0; 2 * i + 1 < layout->dataBytes; ++i) {
    if (std::abs(sampleAt(bytes, layout->dataOffset + 2 * i)) > threshold) {
      if (!first) first = i;
      last = i;
    }
  }
  std::printf("%.6f %.3f\n", *heard, static_cast<double>(last - *first) / layout->rate);
  return 0;
}

int soundsOnInput(int threshold, int rate, int gapMs) {
  if (rate <= 0 || gapMs <= 0) return usage();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const auto gap = static_cast<std::size_t>(rate) * static_cast<std::size_t>(gapMs) / 1000;
  std::size_t at = 0;  // samples read so far
  bool inSound = false;
  std::size_t first = 0;
  std::size_t last = 0;
  double started = 0;
  const auto finish = [&] {
    std::printf("%.6f %.3f\n", started, static_cast<double>(last - first) / rate);
    inSound = false;
  };
  unsigned char buffer[4096];
  std::size_t held = 0;  // bytes of a sample split across reads
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer + held, sizeof buffer - held);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const double now = monotonicSeconds();
    const std::size_t bytes = held + static_cast<std::size_t>(n);
    for (std::size_t i = 0; i + 1 < bytes; i += 2, ++at) {
      const int sample = static_cast<std::int16_t>(buffer[i] | (buffer[i + 1] << 8));
      if (inSound && at - last >= gap) finish();
      if (std::abs(sample) <= threshold) continue;
      if (!inSound) {
        inSound = true;
        first = at;
        started = now;
      }
      last = at;
    }
    held = bytes % 2;
    if (held != 0) buffer[0] = buffer[bytes - 1];
  }
  if (inSound) finish();
  return 0;
}

int usage() {
  std::fputs(
      "usage: benchkit now | exec STAMP COMMAND... | tagclips SRC DST | stretches RAW |\n"
      "       wavspan WAV THRESHOLD | stretched PERCENT WAV... | heard THRESHOLD | first-sound "
      "THRESHOLD COMMAND... |\n"
      "       sounds THRESHOLD RATE GAP_MS\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "now") {
    std::printf("%.6f\n", monotonicSeconds());
    return 0;
  }
  if (argc < 3) return usage();
  const std::string what = argv[1];
  if (what == "exec" && argc >= 4) return execStamped(argv[2], argv + 3);
  if (what == "tagclips" && argc == 4) return tagClips(argv[2], argv[3]);
  if (what == "stretches" && argc == 3) return stretches(argv[2]);
  if (what == "wavspan" && argc == 4) return wavSpan(argv[2], std::atoi(argv[3]));
  if (what == "stretched" && argc >= 4) return stretched(std::atoi(argv[2]), argv + 3, argc - 3);
  if (what == "heard" && argc == 3) return heardOnInput(std::atoi(argv[2]));
  if (what == "sounds" && argc == 5)
    return soundsOnInput(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  if (what == "first-sound" && argc >= 4) return firstSound(std::atoi(argv[2]), argv + 3);
  return usage();
}
