// A minimal PE32 image for the tests: headers and one section, nothing else. Enough for
// kxpack's checks and for osslsigncode to sign it.
#pragma once
#include <string>

namespace kxtest {

std::string MakePe32(std::size_t sectionRawSize = 0x200);

}  // namespace kxtest
