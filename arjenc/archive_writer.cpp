#include "arjenc/archive_writer.h"

#include <algorithm>
#include <utility>

#include "arj/crc32.h"
#include "arj/header.h"
#include "arjenc/dos_time.h"

namespace arjenc {

ArchiveWriter::ArchiveWriter(std::string archive_name, PackOptions options)
    : archive_name_(std::move(archive_name)), options_(options) {
  archive_ = MainHeader();
}

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

  const bool isPacked = !store_only && options_.method != PackMethod::kStored &&
                        Pack(data, size, options_, &packed_, &tables_) && packed_.size() < size;
  f.method = isPacked ? static_cast<std::uint8_t>(options_.method) : 0;
  f.packed_size = static_cast<std::uint32_t>(isPacked ? packed_.size() : size);

  const Bytes header = FramedHeader(BasicHeader(f));
  archive_.insert(archive_.end(), header.begin(), header.end());
  if (isPacked)
    archive_.insert(archive_.end(), packed_.begin(), packed_.end());
  else if (size)
    archive_.insert(archive_.end(), data, data + size);
  if (dos_time > newest_time_) newest_time_ = dos_time;
  return true;
}

std::uint32_t ArchiveWriter::time() const { return newest_time_ ? newest_time_ : DosTimeUtc(0); }

Bytes ArchiveWriter::MainHeader() const {
  HeaderFields main;
  main.file_type = kFileTypeMainHeader;
  main.access_mode = 0;
  main.name = archive_name_;
  main.date_time = time();
  return FramedHeader(BasicHeader(main));
}

Bytes ArchiveWriter::Finish() {
  const Bytes main = MainHeader();
  std::copy(main.begin(), main.end(), archive_.begin());
  const Bytes end = EndMarker();
  archive_.insert(archive_.end(), end.begin(), end.end());
  return std::move(archive_);
}

}  // namespace arjenc
