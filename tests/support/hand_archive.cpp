#include "support/hand_archive.h"

#include <algorithm>

#include "arj/crc32.h"
#include "arjenc/header_bytes.h"

namespace kxtest {
namespace {

constexpr std::uint32_t kMemberTime = 0x5A8C6E21;
constexpr std::uint16_t kUnixMode = 0644;
constexpr std::uint8_t kExtraFill = 0xEE;  // extra data the engine must not interpret

}  // namespace

Bytes ToBytes(const std::string &text) { return Bytes(text.begin(), text.end()); }
std::string ToString(const Bytes &bytes) { return std::string(bytes.begin(), bytes.end()); }

HandMember Stored(const std::string &name, const Bytes &content) {
  HandMember m;
  m.name = name;
  m.data = content;
  m.unpacked_size = static_cast<std::uint32_t>(content.size());
  m.file_crc = arj::Crc32(content.data(), content.size());
  return m;
}

HandMember Packed(const std::string &name, std::uint8_t method, const Bytes &packed,
                  const Bytes &content) {
  HandMember m = Stored(name, content);
  m.method = method;
  m.data = packed;
  return m;
}

HandMember::HandMember() {
  name = "FILE.BIN";
  date_time = kMemberTime;
  access_mode = kUnixMode;
}

Bytes BasicHeaderBytes(const HandMember &m) {
  arjenc::HeaderToWrite f = m;
  if (!m.has_packed_size) f.packed_size = static_cast<std::uint32_t>(m.data.size());
  Bytes basic = arjenc::BasicHeader(f);
  if (m.first_part_size > arj::kFixedPartSize)
    std::fill(basic.begin() + arj::kFixedPartSize, basic.begin() + m.first_part_size, kExtraFill);
  // Without its NUL (and the comment after it) the name runs to the header's end.
  if (!m.terminate_name) basic.resize(basic.size() - m.comment.size() - 2);
  return basic;
}

Bytes FramedHeader(const Bytes &basic) { return arjenc::FramedHeader(basic); }

Bytes HeaderBytes(const HandMember &m) {
  Bytes out = FramedHeader(BasicHeaderBytes(m));
  const std::size_t crcAt = out.size() - 2 - 4;
  if (m.break_header_crc) out[crcAt] ^= 1u;
  out.resize(out.size() - 2);  // the extended header list is written here
  for (const Bytes &e : m.extended) {
    arjenc::PutLe16(&out, static_cast<std::uint32_t>(e.size()));
    out.insert(out.end(), e.begin(), e.end());
    arjenc::PutLe32(&out, 0xDEADBEEF);
  }
  arjenc::PutLe16(&out, 0);
  return out;
}

Bytes EndMarker() { return arjenc::EndMarker(); }

Bytes Archive(const std::vector<HandMember> &members, const Bytes &prefix) {
  Bytes out = prefix;
  HandMember main;
  main.name = "TEST.ARJ";
  main.file_type = 2;  // the main header's type is never checked
  const Bytes head = HeaderBytes(main);
  out.insert(out.end(), head.begin(), head.end());
  for (const HandMember &m : members) {
    const Bytes h = HeaderBytes(m);
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), m.data.begin(), m.data.end());
  }
  const Bytes end = EndMarker();
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

}  // namespace kxtest
