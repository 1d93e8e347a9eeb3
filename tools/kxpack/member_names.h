// The names kxpack gives members it packs: the engine's rule, plain ASCII, and no two that
// differ only in letter case (the installer unpacks them into one folder on Windows).
#pragma once
#include <set>
#include <string>

namespace kxpack {

class MemberNames {
 public:
  // Takes name for the archive being made. False with a reason when the name is refused.
  bool Take(const std::string &name, std::string *why);

 private:
  std::set<std::string> folded_;  // names taken so far, in lower case
};

}  // namespace kxpack
