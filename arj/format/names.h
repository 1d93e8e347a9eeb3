// The format's rules for names: archives come from a platform whose file names ignore ASCII
// letter case, and an archive is known by its ".ARJ" suffix in any case. Portable.
#pragma once
#include <string_view>

#include "base/ascii.h"

namespace arj {

using kx::AsciiLower;
using kx::AsciiUpper;

constexpr std::string_view kArchiveSuffix = ".ARJ";

// Whether a name that is the suffix and nothing before it names an archive. kxpack build
// needs a stem (a folder ".ARJ" is no archive of the set); verify opens any member that
// ends in the suffix.
enum class BareSuffix { kNotAnArchive, kAnArchive };

// Whether name ends in ".ARJ", letter case ignored.
bool HasArchiveSuffix(std::string_view name, BareSuffix bare);

}  // namespace arj
