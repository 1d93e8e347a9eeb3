// The times our archives carry: each file's own modification time, or, when the environment
// sets SOURCE_DATE_EPOCH, that one moment for everything (reproducible builds).
#pragma once
#include <cstdint>
#include <string>

namespace kxpack {

class MemberTimes {
 public:
  // Reads SOURCE_DATE_EPOCH. False with a reason when it is set but not a decimal number.
  bool Init(std::string *why);
  // The MS-DOS time for a file modified at file_mtime (seconds since 1970).
  std::uint32_t For(std::int64_t file_mtime) const;

 private:
  bool fixed_ = false;
  std::int64_t epoch_ = 0;
};

}  // namespace kxpack
