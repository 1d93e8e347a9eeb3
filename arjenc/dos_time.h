// MS-DOS date and time, as archive headers carry them.
#pragma once
#include <cstdint>

namespace arjenc {

// The MS-DOS date and time of a moment in seconds since 1970, taken in UTC so that the
// same moment gives the same bytes on every machine. Two-second steps; moments before 1980
// give 1980-01-01 00:00:00 and moments after 2107 give 2107-12-31 23:59:58.
std::uint32_t DosTimeUtc(std::int64_t unix_seconds);

}  // namespace arjenc
