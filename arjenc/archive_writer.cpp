#include "arjenc/archive_writer.h"

#include <utility>

#include "arj/format/header_fields.h"
#include "arjenc/dos_time.h"

namespace arjenc {

namespace {

// Bytes gathered before they go to the sink: few calls, and one piece of memory reused.
constexpr std::size_t kFlushBytes = 1 << 20;
// A header as framed: id, size, the basic header, its CRC and the end of the extended list.
constexpr std::size_t kMaxFramedHeader = 4 + arj::kMaxBasicHeader + 4 + 2;

}  // namespace

ArchiveWriter::ArchiveWriter(std::string archive_name, PackOptions options, ArchiveSink *sink)
    : archive_name_(std::move(archive_name)), sink_(sink), packer_(options) {
  // Never more than a flush's worth and one member below that: no growing by copies.
  pending_.reserve(2 * kFlushBytes + kMaxFramedHeader);
  const Bytes main = MainHeader();
  pending_.assign(main.begin(), main.end());
}

bool ArchiveWriter::Add(const std::string &name, const std::uint8_t *data, std::size_t size,
                        std::uint32_t dos_time, bool store_only) {
  if (!packer_.Make(name, data, size, dos_time, store_only, &form_)) return false;
  Add(form_, data);
  return true;
}

void ArchiveWriter::Add(const MemberForm &form, const std::uint8_t *data) {
  pending_.insert(pending_.end(), form.header.begin(), form.header.end());
  const std::uint8_t *const body = form.packed ? form.packed_body.data() : data;
  if (form.body_size >= kFlushBytes) {
    Flush();
    sink_->Append(body, form.body_size);
  } else {
    pending_.insert(pending_.end(), body, body + form.body_size);
    if (pending_.size() >= kFlushBytes) Flush();
  }
  NoteMemberTime(form.dos_time);
}

void ArchiveWriter::NoteMemberTime(std::uint32_t dos_time) {
  if (dos_time > newest_time_) newest_time_ = dos_time;
}

std::uint32_t ArchiveWriter::time() const { return newest_time_ ? newest_time_ : DosTimeUtc(0); }

Bytes ArchiveWriter::MainHeader() const {
  HeaderToWrite main;
  main.file_type = arj::kFileTypeMainHeader;
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
