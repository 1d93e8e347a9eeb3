#include "tools/kxpack/member_names.h"

#include "arj/format/names.h"
#include "arj/member_name.h"

namespace kxpack {

bool MemberNames::Take(const std::string &name, std::string *why) {
  std::string folded;
  for (char c : name) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      *why = "member name '" + name + "' is not plain ASCII";
      return false;
    }
    folded += arj::AsciiLower(c);
  }
  if (!arj::IsSafeMemberName(name.c_str())) {
    *why = "member name '" + name + "' is not a safe file name";
    return false;
  }
  if (!folded_.insert(folded).second) {
    *why = "member name '" + name + "' is given twice (letter case ignored)";
    return false;
  }
  return true;
}

}  // namespace kxpack
