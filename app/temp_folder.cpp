#include "app/temp_folder.h"

#include <cstring>

#include "base/ansi_path.h"
#include "base/text.h"

namespace {

// Wide paths as long as the ANSI buffers allow, and the terminator.
constexpr DWORD kWideCap = kx::kPathCap;

}  // namespace

bool WideToExactAnsi(const wchar_t *wide, char *out, size_t cap) {
  if (!wide || !out || cap == 0) return false;
  out[0] = '\0';
  BOOL replaced = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, static_cast<int>(cap),
                              nullptr, &replaced);
  if (n == 0 || replaced) {
    out[0] = '\0';
    return false;
  }
  // Converted back it must give the same characters (a multi-byte code page, for one).
  wchar_t back[kWideCap];
  int m = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, out, -1, back, kWideCap);
  if (m == 0 || lstrcmpW(back, wide) != 0) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool GetTempFolder(char *tempOut, size_t cap, ShortPathQuery shortPath) {
  if (!tempOut || cap == 0) return false;
  tempOut[0] = '\0';
  char ansi[kx::kPathCap] = {};
  wchar_t wide[kWideCap] = {};
  DWORD n = GetTempPathA(sizeof ansi, ansi);
  if (n == 0 || n >= sizeof ansi) return false;
  DWORD w = GetTempPathW(kWideCap, wide);
  if (w == 0 || w >= kWideCap) return false;

  char spelt[kx::kPathCap];
  if (WideToExactAnsi(wide, spelt, sizeof spelt) && std::strcmp(spelt, ansi) == 0)
    return kx::CopyText(tempOut, cap, ansi);

  // The ANSI path is not this folder's name: only its short form can still be spelt.
  wchar_t shortWide[kWideCap] = {};
  DWORD s = shortPath ? shortPath(wide, shortWide, kWideCap) : 0;
  if (s == 0 || s >= kWideCap || !WideToExactAnsi(shortWide, spelt, sizeof spelt)) return false;
  return Joined(JoinUnder(tempOut, cap, spelt, ""));
}
