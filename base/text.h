// Bounded text helpers for the fixed 260-byte path buffers. Portable: no windows.h.
// Every helper keeps the destination zero-terminated and never writes past its capacity;
// the result says whether the whole text fitted.
#pragma once
#include <cstddef>
#include <cstring>

namespace kx {

constexpr std::size_t kPathCap = 260;  // 259 characters and a terminator

// Copies src into dst (capacity cap, terminator included). On overflow dst holds the cut text.
inline bool CopyText(char *dst, std::size_t cap, const char *src) {
  if (!dst || cap == 0) return false;
  if (!src) src = "";
  std::size_t n = std::strlen(src);
  bool fits = n < cap;
  if (!fits) n = cap - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  return fits;
}

// Appends src to the zero-terminated text in dst; on overflow dst holds the cut text.
inline bool AppendText(char *dst, std::size_t cap, const char *src) {
  if (!dst || cap == 0) return false;
  std::size_t used = ::strnlen(dst, cap);
  if (used >= cap) {  // not terminated within its capacity: repair, report overflow
    dst[cap - 1] = '\0';
    return false;
  }
  return CopyText(dst + used, cap - used, src);
}

// Joins up to three texts into dst; false (and dst cleared) when the result would not fit, so
// a cut text is never used by mistake. Paths of a name in a folder are made by JoinUnder
// (base/ansi_path.h), which knows where a folder's backslash is.
inline bool JoinTexts(char *dst, std::size_t cap, const char *a, const char *b,
                      const char *c = "") {
  if (!dst || cap == 0) return false;
  dst[0] = '\0';
  if (CopyText(dst, cap, a) && AppendText(dst, cap, b) && AppendText(dst, cap, c)) return true;
  dst[0] = '\0';
  return false;
}

template <std::size_t N>
inline bool CopyText(char (&dst)[N], const char *src) {
  return CopyText(dst, N, src);
}
template <std::size_t N>
inline bool AppendText(char (&dst)[N], const char *src) {
  return AppendText(dst, N, src);
}

}  // namespace kx
