// The progress line of a long command: on stderr when it is a terminal, members and bytes
// done of the total, the rate and the time left, redrawn in place a few times a second at
// most. Nothing is shown when stderr is not a terminal or when the user asked for quiet, and
// nothing else changes: stdout and the files written are the same either way.
#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kxpack {

class Progress {
 public:
  // command: the command's name, for the line; wanted: false for --quiet.
  Progress(const char *command, bool wanted);
  ~Progress();  // clears the line
  Progress(const Progress &) = delete;
  Progress &operator=(const Progress &) = delete;

  // Work found: a total may grow as the work goes on (archives inside archives).
  void AddTotal(std::uint64_t members, std::uint64_t bytes);
  // Work done, counted a member or a large piece at a time, never a byte at a time.
  void Done(std::uint64_t members, std::uint64_t bytes);

 private:
  friend void ClearProgressLine(std::FILE *before);
  void Draw();
  void Clear();

  const char *command_;
  bool shown_;
  std::uint64_t members_done_ = 0, members_total_ = 0, bytes_done_ = 0, bytes_total_ = 0;
  std::chrono::steady_clock::time_point start_, next_draw_;
  std::size_t drawn_width_ = 0;  // of the line on the terminal now; 0: none
};

// Takes the progress line off the terminal before other output goes to before: a message on
// stderr, or a line on stdout when that is a terminal too. It comes back with the next redraw.
void ClearProgressLine(std::FILE *before);

}  // namespace kxpack
