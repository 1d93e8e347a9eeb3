// Numbers on kxpack's command line: plain decimal digits only, so "010" is ten.
#pragma once

namespace kxpack {

// False when text is not a decimal number from 0 to max.
bool ParseDecimal(const char *text, unsigned long long max, unsigned long long *out);

}  // namespace kxpack
