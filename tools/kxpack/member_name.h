// Whether a member's bare name may become a file name inside the extraction folder.
#pragma once
#include <string>

namespace kxpack {

// False for names that would leave the folder or that Windows would read as something else:
// empty, "." and "..", separators and drive colons, control characters, the characters
// Windows forbids, trailing dots or spaces (Windows drops them), and device names such as
// CON or LPT1 (with or without an extension).
bool IsSafeMemberName(const std::string &name);

}  // namespace kxpack
