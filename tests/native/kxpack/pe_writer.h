// Minimal PE images for the tests: headers and one section, nothing else. Enough for kxpack's
// checks and for osslsigncode to sign them. PE32 as the product ships; PE32+ as its x86-64
// test build is.
#pragma once
#include <string>

namespace kxtest {

std::string MakePe32(std::size_t sectionRawSize = 0x200);
std::string MakePe32Plus(std::size_t sectionRawSize = 0x200);

}  // namespace kxtest
