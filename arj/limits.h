// The engine's bounds on the paths and names its callers pass and get back (arj/arj.h).
// Portable.
#pragma once
#include <cstddef>

namespace arj {

constexpr std::size_t kMaxArchivePath = 511;  // longer archive paths are refused
constexpr std::size_t kMaxOutputPath = 255;   // longer output paths are refused
constexpr std::size_t kMaxBareName = 255;     // the bare name handed back is cut to this

}  // namespace arj
