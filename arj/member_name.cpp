#include "arj/member_name.h"

#include <cstddef>
#include <cstring>

#include "arj/format/names.h"

namespace arj {
namespace {

constexpr std::size_t kMaxNameLength = 255;

// The part before the first dot, blanks before that dot dropped, as Windows reads it.
bool IsDeviceName(const char *name) {
  std::size_t stem = std::strcspn(name, ".");
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  char upper[8] = {};
  if (stem == 0 || stem >= sizeof upper) return false;
  for (std::size_t i = 0; i < stem; ++i) upper[i] = AsciiUpper(name[i]);
  static const char *const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char *device : kDevices) {
    if (std::strcmp(upper, device) == 0) return true;
  }
  return stem == 4 && (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0) &&
         upper[3] >= '1' && upper[3] <= '9';
}

}  // namespace

bool IsSafeMemberName(const char *name) {
  if (!name) return false;
  std::size_t n = ::strnlen(name, kMaxNameLength + 1);
  if (n == 0 || n > kMaxNameLength) return false;
  if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return false;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F || std::strchr("/\\:*?\"<>|", c)) return false;
  }
  if (name[n - 1] == '.' || name[n - 1] == ' ') return false;
  return !IsDeviceName(name);
}

}  // namespace arj
