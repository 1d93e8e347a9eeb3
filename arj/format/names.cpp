#include "arj/format/names.h"

namespace arj {

bool HasArchiveSuffix(std::string_view name, BareSuffix bare) {
  const std::size_t n = kArchiveSuffix.size();
  if (name.size() < n || (name.size() == n && bare == BareSuffix::kNotAnArchive)) return false;
  const std::string_view tail = name.substr(name.size() - n);
  for (std::size_t i = 0; i < n; ++i) {
    if (AsciiUpper(tail[i]) != kArchiveSuffix[i]) return false;
  }
  return true;
}

}  // namespace arj
