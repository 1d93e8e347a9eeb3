// The packers' names for the fixed code of method 4, which arj/format/fast_code.h defines.
#pragma once
#include "arj/format/fast_code.h"

namespace arjenc {

using arj::BitCode;
using arj::FastLengthCode;
using arj::FastPositionCode;
using arj::kFastLiteralBits;

}  // namespace arjenc
