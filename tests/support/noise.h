// Bytes that do not compress and differ with the seed, the same on every build and platform.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kxtest {

inline std::string NoiseBytes(unsigned seed, std::size_t size) {
  std::string s(size, '\0');
  std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (char &c : s) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

}  // namespace kxtest
