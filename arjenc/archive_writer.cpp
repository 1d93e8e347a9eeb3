#include "arjenc/archive_writer.h"

#include <utility>

#include "arj/crc32.h"
#include "arj/header.h"
#include "arjenc/dos_time.h"

namespace arjenc {

namespace {

// Bytes gathered before they go to the sink: few calls, and one piece of memory reused.
constexpr std::size_t kFlushBytes = 1 << 20;
// A header as framed: id, size, the basic header, its CRC and the end of the extended list.
constexpr std::size_t kMaxFramedHeader = 4 + arj::kMaxBasicHeader + 4 + 2;

}  // namespace

ArchiveWriter::ArchiveWriter(std::string archive_name, PackOptions options, ArchiveSink *sink)
    : archive_name_(std::move(archive_name)), options_(options), sink_(sink) {
  // Never more than a flush's worth and one member below that: no growing by copies.
  pending_.reserve(2 * kFlushBytes + kMaxFramedHeader);
  const Bytes main = MainHeader();
  pending_.assign(main.begin(), main.end());
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
  pending_.insert(pending_.end(), header.begin(), header.end());
  const std::uint8_t *const body = isPacked ? packed_.data() : data;
  const std::size_t body_size = f.packed_size;
  if (body_size >= kFlushBytes) {
    Flush();
    sink_->Append(body, body_size);
  } else {
    pending_.insert(pending_.end(), body, body + body_size);
    if (pending_.size() >= kFlushBytes) Flush();
  }
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

void ArchiveWriter::Flush() {
  if (!pending_.empty()) sink_->Append(pending_.data(), pending_.size());
  pending_.clear();
}

void ArchiveWriter::Finish() {
  const Bytes end = EndMarker();
  pending_.insert(pending_.end(), end.begin(), end.end());
  Flush();
  const Bytes main = MainHeader();
  sink_->RewriteStart(main.data(), main.size());
}

}  // namespace arjenc
