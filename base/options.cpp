// Installation options taken from the command line. The three values are handed on to the
// inner installer as they are found here; the front end itself never acts on them.
#include "base/options.h"

#include <cstring>

#include "base/ascii.h"
#include "base/text.h"

namespace kx {

namespace {

constexpr char kProductPathOption[] = "/KXPATH=";
constexpr char kParamOption[] = "/PARAM=";
constexpr char kFirewallOption[] = "/FIREWALL=";

// ASCII case alone: the inner installer compares these values byte for byte.
void UpperCaseAscii(char *text) {
  for (; *text; ++text) *text = AsciiUpper(*text);
}

// The characters after the option up to, not including, the next "/" or the end.
void CopyUpToNextSlash(char *dst, std::size_t cap, const char *value) {
  const char *end = std::strchr(value, '/');
  std::size_t n = end ? static_cast<std::size_t>(end - value) : std::strlen(value);
  if (n >= cap) n = cap - 1;
  std::memcpy(dst, value, n);
  dst[n] = '\0';
}

}  // namespace

bool ParseOptions(const char *cmdLine, InstallerOptions *opts) {
  if (!opts) return false;
  opts->productPath[0] = opts->param[0] = opts->firewall[0] = '\0';
  if (!cmdLine || !*cmdLine) return false;

  // Both working copies hold at most 259 characters: a longer line is cut, so every value
  // taken from them fits its 260-byte member.
  char asTyped[kPathCap];
  char upper[kPathCap];
  CopyText(asTyped, cmdLine);
  CopyText(upper, asTyped);
  UpperCaseAscii(upper);

  // Searched as typed, so only the upper-case spelling is recognised. The two value forms
  // are what the inner installer expects: with /FIREWALL= present it wants the bare path,
  // otherwise the option itself and everything after it.
  if (const char *found = std::strstr(asTyped, kProductPathOption)) {
    if (std::strstr(upper, kFirewallOption)) {
      CopyUpToNextSlash(opts->productPath, sizeof opts->productPath,
                        found + sizeof kProductPathOption - 1);
    } else {
      CopyText(opts->productPath, found);
    }
  }

  if (const char *found = std::strstr(upper, kParamOption)) {
    CopyText(opts->param, found + sizeof kParamOption - 1);
  }

  // The option name and the one character after "=" (fewer when the text ends sooner).
  if (const char *found = std::strstr(upper, kFirewallOption)) {
    CopyText(opts->firewall, found);
  }
  return true;
}

}  // namespace kx
