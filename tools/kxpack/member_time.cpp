#include "tools/kxpack/member_time.h"

#include <cstdlib>

#include "arjenc/dos_time.h"
#include "tools/kxpack/decimal_arg.h"

namespace kxpack {

bool MemberTimes::Init(std::string *why) {
  const char *text = std::getenv("SOURCE_DATE_EPOCH");
  if (!text || !*text) return true;
  unsigned long long v = 0;
  if (!ParseDecimal(text, 0x7FFFFFFFFFFFull, &v)) {
    *why = std::string("SOURCE_DATE_EPOCH is not a number of seconds: ") + text;
    return false;
  }
  fixed_ = true;
  epoch_ = static_cast<std::int64_t>(v);
  return true;
}

std::uint32_t MemberTimes::For(std::int64_t file_mtime) const {
  return arjenc::DosTimeUtc(fixed_ ? epoch_ : file_mtime);
}

}  // namespace kxpack
