#include "tools/kxpack/decimal_arg.h"

namespace kxpack {

bool ParseDecimal(const char *text, unsigned long long max, unsigned long long *out) {
  if (!text || !*text) return false;
  unsigned long long v = 0;
  for (const char *p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return false;
    const unsigned digit = static_cast<unsigned>(*p - '0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  *out = v;
  return true;
}

}  // namespace kxpack
