// ASCII letter case: only a to z and A to Z change. Names and options are compared this way,
// never by the locale, which would also touch characters of a code page's upper half.
#pragma once

namespace kx {

constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace kx
