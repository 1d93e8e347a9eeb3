#include "tools/kxpack/pe_image.h"

#include <algorithm>

#include "base/little_endian.h"

namespace kxpack {

static std::uint32_t Le16(const std::string &d, std::size_t at) {
  return kx::LoadLe16(reinterpret_cast<const std::uint8_t *>(d.data()) + at);
}
static std::uint32_t Le32(const std::string &d, std::size_t at) {
  return kx::LoadLe32(reinterpret_cast<const std::uint8_t *>(d.data()) + at);
}

bool ParsePe(const std::string &d, PeLayout *out, std::string *why) {
  auto fail = [&](const char *reason) {
    *why = reason;
    return false;
  };
  if (d.size() < 0x40 || d[0] != 'M' || d[1] != 'Z') return fail("no MZ header");
  std::size_t pe = Le32(d, 0x3C);
  if (pe > d.size() || d.size() - pe < 24) return fail("PE header offset out of range");
  if (d.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return fail("no PE signature");
  std::size_t coff = pe + 4;
  std::uint32_t sections = Le16(d, coff + 2);
  std::uint32_t symbolTable = Le32(d, coff + 8);
  std::uint32_t symbolCount = Le32(d, coff + 12);
  std::uint32_t optSize = Le16(d, coff + 16);
  std::size_t opt = coff + 20;
  if (d.size() - opt < optSize || optSize < 2) return fail("optional header truncated");
  std::uint32_t magic = Le16(d, opt);
  std::size_t dirs;  // offset of the data directories within the optional header
  if (magic == 0x10B)
    dirs = 96;
  else if (magic == 0x20B)
    dirs = 112;
  else
    return fail("unknown optional header magic");
  std::uint32_t dirCount = optSize >= dirs + 4 ? Le32(d, opt + dirs - 4) : 0;
  out->peHeaderOffset = static_cast<std::uint32_t>(pe);
  out->certTableSize = 0;
  if (dirCount > 4 && optSize >= dirs + 5 * 8) out->certTableSize = Le32(d, opt + dirs + 4 * 8 + 4);

  std::size_t table = opt + optSize;
  if (sections == 0 || d.size() - table < std::size_t(sections) * 40)
    return fail("section table truncated");
  std::int64_t end = table + std::int64_t(sections) * 40;
  for (std::uint32_t i = 0; i < sections; ++i) {
    std::size_t s = table + i * 40;
    std::uint32_t rawSize = Le32(d, s + 16), rawPtr = Le32(d, s + 20);
    if (rawSize) end = std::max<std::int64_t>(end, std::int64_t(rawPtr) + rawSize);
  }
  // An unstripped image keeps its COFF symbols and their string table after the sections.
  if (symbolTable && symbolCount) {
    std::int64_t strings = std::int64_t(symbolTable) + std::int64_t(symbolCount) * 18;
    std::int64_t stringsEnd = strings + 4;
    if (strings + 4 <= std::int64_t(d.size())) stringsEnd = strings + Le32(d, strings);
    end = std::max(end, stringsEnd);
  }
  out->imageEnd = end;
  return true;
}

}  // namespace kxpack
