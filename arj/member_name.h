// The one rule for the names of members that become files: the engine's 115, the installer's
// unpack and kxpack all ask it.
#pragma once

namespace arj {

// False for names that would leave the folder or that Windows would read as something else:
// empty, "." and "..", separators and drive colons, control characters, the characters
// Windows forbids (< > : " / \ | ? *), trailing dots or spaces (Windows drops them), names
// over 255 characters, and device names such as CON or LPT1 (with or without an extension).
bool IsSafeMemberName(const char *name);

}  // namespace arj
