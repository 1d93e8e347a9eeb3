#include "arjenc/member_packer.h"

#include "arj/crc32.h"
#include "arj/format/header_fields.h"

namespace arjenc {
namespace {

bool CanFrame(const std::string &name, std::size_t size) {
  return !name.empty() && name.size() <= arj::kMaxName && name.find('\0') == std::string::npos &&
         size <= kMaxMemberSize;
}

}  // namespace

bool FrameStoredHeader(const std::string &name, std::size_t size, std::uint32_t crc,
                       std::uint32_t dos_time, Bytes *header) {
  if (!CanFrame(name, size)) return false;
  HeaderToWrite f;
  f.name = name;
  f.date_time = dos_time;
  f.unpacked_size = f.packed_size = static_cast<std::uint32_t>(size);
  f.file_crc = crc;
  *header = FramedHeader(BasicHeader(f));
  return true;
}

bool MemberPacker::Make(const std::string &name, const std::uint8_t *data, std::size_t size,
                        std::uint32_t dos_time, bool store_only, MemberForm *form) {
  if (!CanFrame(name, size)) return false;

  HeaderToWrite f;
  f.name = name;
  f.date_time = dos_time;
  f.unpacked_size = static_cast<std::uint32_t>(size);
  f.file_crc = arj::Crc32(data, size);

  form->packed = !store_only && options_.method != PackMethod::kStored &&
                 Pack(data, size, options_, &form->packed_body, &tables_) &&
                 form->packed_body.size() < size;
  form->body_size = form->packed ? form->packed_body.size() : size;
  f.method = form->packed ? static_cast<std::uint8_t>(options_.method) : 0;
  f.packed_size = static_cast<std::uint32_t>(form->body_size);
  form->header = FramedHeader(BasicHeader(f));
  form->dos_time = dos_time;
  return true;
}

}  // namespace arjenc
