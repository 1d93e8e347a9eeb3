// The tests' one writer of hand-made ARJ archives: headers framed by the encoder library,
// with a knob for every field a test damages on purpose (hostile names, bad sizes, broken
// CRCs, unknown methods). Portable: built in both trees.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "arjenc/header_bytes.h"

namespace kxtest {

using Bytes = std::vector<std::uint8_t>;

// One member header (or the main header) and the data that follows it. Every field is
// written as given (bytes of a first part past 30 are filled with 0xEE); Stored and Packed
// fill in sizes and CRC that match.
struct HandMember : arjenc::HeaderToWrite {
  HandMember();
  std::vector<Bytes> extended;   // extended headers, each written with a junk CRC
  Bytes data;                    // packed bytes
  bool has_packed_size = false;  // packed_size is written instead of data.size()
  bool break_header_crc = false;
  bool terminate_name = true;  // false: the name runs to the end of the basic header
};

Bytes ToBytes(const std::string &text);
std::string ToString(const Bytes &bytes);

// A stored member with the right sizes and CRC.
HandMember Stored(const std::string &name, const Bytes &content);
// A packed member of the given method with the right unpacked size and CRC.
HandMember Packed(const std::string &name, std::uint8_t method, const Bytes &packed,
                  const Bytes &content);

// The basic header alone, and a basic header framed: id, size, CRC, extended headers.
Bytes BasicHeaderBytes(const HandMember &m);
Bytes FramedHeader(const Bytes &basic);
Bytes HeaderBytes(const HandMember &m);
Bytes EndMarker();
// prefix + main header (TEST.ARJ) + members + end marker.
Bytes Archive(const std::vector<HandMember> &members, const Bytes &prefix = {});

}  // namespace kxtest
