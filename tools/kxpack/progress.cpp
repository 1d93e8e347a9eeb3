#include "tools/kxpack/progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define KX_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define KX_ISATTY(f) isatty(fileno(f))
#endif

namespace kxpack {
namespace {

// Often enough to see it move, seldom enough to cost nothing. The first member done shows
// the line at once.
constexpr std::chrono::milliseconds kRedrawInterval{250};
constexpr double kMiB = 1024.0 * 1024.0;

// The one line shown now: a process runs one command.
Progress *g_current = nullptr;

std::string Clock(double seconds) {
  const long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600)
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

}  // namespace

Progress::Progress(const char *command, bool wanted)
    : command_(command),
      shown_(wanted && KX_ISATTY(stderr)),
      start_(std::chrono::steady_clock::now()),
      next_draw_(start_) {
  if (shown_) g_current = this;
}

Progress::~Progress() {
  if (!shown_) return;
  Clear();
  g_current = nullptr;
}

void Progress::AddTotal(std::uint64_t members, std::uint64_t bytes) {
  members_total_ += members;
  bytes_total_ += bytes;
}

void Progress::Done(std::uint64_t members, std::uint64_t bytes) {
  members_done_ += members;
  bytes_done_ += bytes;
  if (!shown_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now < next_draw_) return;
  next_draw_ = now + kRedrawInterval;
  Draw();
}

void Progress::Draw() {
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = elapsed > 0 ? bytes_done_ / elapsed : 0;
  const std::string left =
      rate > 0 && bytes_total_ >= bytes_done_ ? Clock((bytes_total_ - bytes_done_) / rate) : "-";
  char line[160];
  const int n = std::snprintf(line, sizeof line,
                              "kxpack %s: %llu/%llu members, %.1f/%.1f MiB, %.1f MiB/s, %s left",
                              command_, static_cast<unsigned long long>(members_done_),
                              static_cast<unsigned long long>(members_total_), bytes_done_ / kMiB,
                              bytes_total_ / kMiB, rate / kMiB, left.c_str());
  const std::size_t width = n < 0 ? 0 : std::min<std::size_t>(std::size_t(n), sizeof line - 1);
  // What stdout holds goes first, so that the line never lands inside it.
  std::fflush(stdout);
  std::fprintf(stderr, "\r%s%*s", line,
               static_cast<int>(drawn_width_ > width ? drawn_width_ - width : 0), "");
  std::fflush(stderr);
  drawn_width_ = width;
}

void Progress::Clear() {
  if (!drawn_width_) return;
  std::fflush(stdout);
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(drawn_width_), "");
  std::fflush(stderr);
  drawn_width_ = 0;
}

void ClearProgressLine(std::FILE *before) {
  if (g_current && (before == stderr || KX_ISATTY(before))) g_current->Clear();
}

}  // namespace kxpack
