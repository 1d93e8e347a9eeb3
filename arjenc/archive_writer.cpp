#include "arjenc/archive_writer.h"

#include <utility>

#include "arj/crc32.h"
#include "arj/header.h"
#include "arjenc/dos_time.h"

namespace arjenc {

ArchiveWriter::ArchiveWriter(std::string archive_name, PackOptions options)
    : archive_name_(std::move(archive_name)), options_(options) {}

bool ArchiveWriter::Add(const std::string &name, const std::uint8_t *data, std::size_t size,
                        std::uint32_t dos_time, bool store_only) {
  if (name.empty() || name.size() > arj::kMaxName || name.find('\0') != std::string::npos ||
      size > kMaxMemberSize)
    return false;

  HeaderFields f;
  f.name = name;
  f.date_time = dos_time;
  f.unpacked_size = static_cast<std::uint32_t>(size);
  f.file_crc = arj::Crc32(data, size);

  Bytes packed;
  const bool isPacked = !store_only && options_.method != PackMethod::kStored &&
                        Pack(data, size, options_, &packed, &tables_) && packed.size() < size;
  f.method = isPacked ? static_cast<std::uint8_t>(options_.method) : 0;
  f.packed_size = static_cast<std::uint32_t>(isPacked ? packed.size() : size);

  const Bytes header = FramedHeader(BasicHeader(f));
  members_.insert(members_.end(), header.begin(), header.end());
  if (isPacked)
    members_.insert(members_.end(), packed.begin(), packed.end());
  else if (size)
    members_.insert(members_.end(), data, data + size);
  if (dos_time > newest_time_) newest_time_ = dos_time;
  return true;
}

std::uint32_t ArchiveWriter::time() const { return newest_time_ ? newest_time_ : DosTimeUtc(0); }

Bytes ArchiveWriter::Finish() const {
  HeaderFields main;
  main.file_type = kFileTypeMainHeader;
  main.access_mode = 0;
  main.name = archive_name_;
  main.date_time = time();
  Bytes out = FramedHeader(BasicHeader(main));
  out.insert(out.end(), members_.begin(), members_.end());
  const Bytes end = EndMarker();
  out.insert(out.end(), end.begin(), end.end());
  return out;
}

}  // namespace arjenc
