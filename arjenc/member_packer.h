// One member made ready for an archive, apart from writing it: packed when that makes it
// smaller, its header framed. Members can so be made on several threads, each packer its
// own, and written in order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "arjenc/compress.h"
#include "arjenc/header_bytes.h"
#include "arjenc/match_finder.h"

namespace arjenc {

// Members of 2 GiB or more do not fit the engine's signed sizes.
constexpr std::size_t kMaxMemberSize = 0x7FFFFFFF;

struct MemberForm {
  Bytes header;         // framed, as it goes into the archive
  bool packed = false;  // the body: packed_body, else the member's own bytes
  Bytes packed_body;    // its room kept from member to member
  std::size_t body_size = 0;
  std::uint32_t dos_time = 0;
};

// The framed header of a stored member of size bytes with the given CRC-32, for a body the
// caller writes itself. False when the name or the size cannot be framed.
bool FrameStoredHeader(const std::string &name, std::size_t size, std::uint32_t crc,
                       std::uint32_t dos_time, Bytes *header);

class MemberPacker {
 public:
  explicit MemberPacker(PackOptions options) : options_(options) {}
  MemberPacker(const MemberPacker &) = delete;
  MemberPacker &operator=(const MemberPacker &) = delete;

  // Makes the member name with its MS-DOS time into *form. It is packed when the packer
  // makes it smaller, else stored; store_only stores it anyway (archives in archives gain
  // nothing). False, *form unspecified, when the name or the size cannot be framed.
  bool Make(const std::string &name, const std::uint8_t *data, std::size_t size,
            std::uint32_t dos_time, bool store_only, MemberForm *form);

 private:
  PackOptions options_;
  MatchTables tables_;  // shared by the members this packer packs
};

}  // namespace arjenc
