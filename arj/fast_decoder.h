// Method 4: LZ77 over the same 26624-byte window with fixed codes (unary-prefixed lengths
// and positions), so no tables and no block heads.
#pragma once
#include <cstdint>

#include "arj/bit_input.h"
#include "arj/member_output.h"
#include "arj/sliding_window.h"

namespace arj {

// Decodes one member of method 4. Returns kOk or kWriteFailure.
int UnpackFast(BitInput &input, SlidingWindow &window, MemberOutput &output,
               std::int32_t unpacked_size);

}  // namespace arj
