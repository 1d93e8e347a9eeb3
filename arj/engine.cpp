#include "arj/engine.h"

#include <cstring>

#include "arj/arj.h"
#include "arj/fast_decoder.h"
#include "arj/format/header_frame.h"
#include "arj/format/names.h"
#include "arj/member_name.h"
#include "arj/result.h"
#include "base/little_endian.h"

namespace arj {
namespace {

void CopyCut(char *destination, std::size_t capacity, const char *source) {
  std::size_t n = std::strlen(source);
  if (n > capacity - 1) n = capacity - 1;
  std::memcpy(destination, source, n);
  destination[n] = '\0';
}

}  // namespace

short ArjEngine::ReportFailure(int code) {
  if (code != kCannotOpen) archive_.Close();
  return static_cast<short>(counting_ && member_counter_ > 0 ? kCountFailed : code);
}

bool ArjEngine::ReadU16(std::uint16_t *value) {
  std::uint8_t bytes[2];
  if (archive_.Read(bytes, sizeof bytes) != sizeof bytes) return false;
  *value = kx::LoadLe16(bytes);
  return true;
}

bool ArjEngine::ReadU32(std::uint32_t *value) {
  std::uint8_t bytes[4];
  if (archive_.Read(bytes, sizeof bytes) != sizeof bytes) return false;
  *value = kx::LoadLe32(bytes);
  return true;
}

// A candidate is the header id followed by a size of at most kMaxBasicHeader and that many
// bytes whose CRC-32 follows them; one that would need bytes past the end of the file fails.
bool ArjEngine::CandidateAt(std::int64_t position) {
  archive_.Seek(position);
  std::uint16_t id, size;
  if (!ReadU16(&id) || !IsHeaderId(id) || !ReadU16(&size) || !BasicSizeFits(size)) return false;
  if (archive_.Read(basic_header_, size) != size) return false;
  std::uint32_t stored;
  return ReadU32(&stored) && BasicHeaderIntact(basic_header_, size, stored);
}

bool ArjEngine::ScanForHeader(std::int64_t *found) {
  std::int64_t end = archive_.Size() - 2;
  if (end > kScanLimit) end = kScanLimit;
  std::int64_t p = 0;
  while (p < end) {
    archive_.Seek(p);
    const std::size_t avail = archive_.Available();
    if (avail == 0) break;
    const std::size_t span =
        static_cast<std::int64_t>(avail) < end - p ? avail : static_cast<std::size_t>(end - p);
    const std::uint8_t *run = archive_.Cursor();
    const void *hit = std::memchr(run, kHeaderId & 0xFF, span);  // the id's first byte
    if (!hit) {
      p += static_cast<std::int64_t>(span);
      continue;
    }
    p += static_cast<const std::uint8_t *>(hit) - run;
    if (CandidateAt(p)) {
      *found = p;
      return true;
    }
    ++p;
  }
  return false;
}

// kHeaderRead: the archive stands at the member's data; kEndMarker; otherwise the value of
// ReportFailure.
int ArjEngine::ReadHeader(bool first) {
  std::uint16_t id, size;
  if (!ReadU16(&id)) return ReportFailure(kReadFailure);
  if (!IsHeaderId(id)) return ReportFailure(first ? kNotAnArchive : kBadHeader);
  if (!ReadU16(&size)) return ReportFailure(kReadFailure);
  if (IsEndMarkerSize(size)) return kEndMarker;
  if (!BasicSizeFits(size)) return ReportFailure(kBadHeader);
  const std::size_t got = archive_.Read(basic_header_, size);
  // Bytes past a short header read as zero rather than as leftovers of an earlier header.
  std::memset(basic_header_ + got, 0, kMaxBasicHeader - got);
  std::uint32_t stored;
  if (!ReadU32(&stored)) return ReportFailure(kReadFailure);
  if (!BasicHeaderIntact(basic_header_, got, stored)) return ReportFailure(kHeaderCrcError);
  ParseBasicHeader(basic_header_, &header_);
  header_.header_crc = stored;
  // Extended headers are skipped unchecked.
  std::uint16_t extended;
  if (!ReadU16(&extended)) return ReportFailure(kReadFailure);
  while (extended != 0) {
    archive_.Seek(archive_.Tell() + extended + 4);
    if (!ReadU16(&extended)) return ReportFailure(kReadFailure);
  }
  return kHeaderRead;
}

// Reads the header at the current position as ReadHeader does, but without reporting a
// failure (no state changes): true when a header was read.
bool ArjEngine::ReadHeaderQuietly() {
  const bool counting = counting_;
  const std::int32_t counter = member_counter_;
  counting_ = false;
  const int r = ReadHeader(false);
  counting_ = counting;
  member_counter_ = counter;
  return r == kHeaderRead && archive_.IsOpen();
}

bool ArjEngine::OpenAndReadMainHeader(const char *archive_path, short *result) {
  archive_.Close();
  output_.Close();
  if (!archive_path || std::strlen(archive_path) > kMaxArchivePath) {
    *result = kCannotOpen;
    return false;
  }
  // The archives come from a platform whose file names ignore case.
  std::size_t n = 0;
  for (; archive_path[n]; ++n) archive_path_[n] = AsciiUpper(archive_path[n]);
  archive_path_[n] = '\0';
  if (!archive_.Open(archive_path_)) {
    *result = kCannotOpen;
    return false;
  }
  if (memory_.Matches(archive_path_, archive_.Identity())) {
    // A cheap check that this is still the archive walked: its main header reads again
    // with the same CRC. (A failure here is not reported: the full scan below decides.)
    archive_.Seek(memory_.main_offset());
    if (ReadHeaderQuietly() && header_.header_crc == memory_.main_crc()) {
      archive_.Seek(memory_.first_member_offset());
      return true;
    }
    archive_.Close();
    if (!archive_.Open(archive_path_)) {
      *result = kCannotOpen;
      return false;
    }
  }

  memory_.Reset();
  std::int64_t start;
  if (!ScanForHeader(&start)) {
    *result = ReportFailure(kNotAnArchive);
    return false;
  }
  archive_.Seek(start);
  const int r = ReadHeader(true);
  if (r != kHeaderRead) {
    *result = r == kEndMarker ? ReportFailure(kEmptyArchive) : static_cast<short>(r);
    return false;
  }
  memory_.Begin(archive_path_, archive_.Identity(), start, header_.header_crc, archive_.Tell());
  return true;
}

// Sets the member counter exactly as a walk from the first member header would.
ArjEngine::Walk ArjEngine::WalkTo(int index) {
  member_counter_ = 0;
  if (index >= 1 && static_cast<std::size_t>(index) <= memory_.count()) {
    const WalkMemory::Mark &mark = memory_.mark(static_cast<std::size_t>(index) - 1);
    archive_.Seek(mark.header_offset);
    if (ReadHeader(false) != kHeaderRead || header_.header_crc != mark.header_crc)
      return Walk::kStale;
    member_counter_ = index;
    return Walk::kReached;
  }
  member_counter_ = static_cast<std::int32_t>(memory_.count());
  if (memory_.end_known()) return Walk::kEnded;
  bool remembering = true;
  std::int64_t at = memory_.resume_offset();
  for (;;) {
    archive_.Seek(at);
    const int r = ReadHeader(false);
    if (r == kEndMarker) {
      if (remembering) memory_.MarkEnd();
      return Walk::kEnded;
    }
    if (r != kHeaderRead) {
      // Not remembered as the end: the next walk meets the damage again.
      damage_result_ = static_cast<short>(r);
      return Walk::kDamaged;
    }
    ++member_counter_;
    const std::int64_t next = archive_.Tell() + static_cast<std::int64_t>(header_.packed_size);
    if (remembering) remembering = memory_.Add(at, header_.header_crc, next);
    if (member_counter_ == index) return Walk::kReached;
    at = next;
  }
}

short ArjEngine::CountMembers(const char *archive_path) {
  counting_ = true;
  short result;
  if (!OpenAndReadMainHeader(archive_path, &result)) {
    archive_.Close();
    return result;
  }
  // A damaged member header fails the count: the members after it would be lost without a
  // word, and a partial set must not unpack as a whole one.
  const Walk walk = WalkTo(0);
  archive_.Close();
  return walk == Walk::kDamaged ? damage_result_ : static_cast<short>(member_counter_);
}

short ArjEngine::ExtractMember(const char *archive_path, int index, const char *output_path,
                               char *bare_name_out, std::size_t bare_name_size) {
  counting_ = false;
  short result = ExtractOnce(archive_path, index, output_path);
  if (result == kStaleMemory) {
    // The remembered headers no longer match the file: walk it afresh.
    memory_.Reset();
    result = ExtractOnce(archive_path, index, output_path);
  }
  archive_.Close();
  if (bare_name_out && bare_name_size > 0) CopyCut(bare_name_out, bare_name_size, bare_name_);
  return result;
}

short ArjEngine::ExtractOnce(const char *archive_path, int index, const char *output_path) {
  short result;
  if (!OpenAndReadMainHeader(archive_path, &result)) return result;
  switch (WalkTo(index)) {
    case Walk::kStale:
      return kStaleMemory;
    case Walk::kEnded:
    case Walk::kDamaged:
      return kNoSuchMember;
    case Walk::kReached:
      break;
  }
  return ExtractCurrent(output_path ? output_path : "");
}

short ArjEngine::ExtractCurrent(const char *output_path) {
  // The bare name starts at the file name position; a position outside the name gives an
  // empty bare name, which the name rule below refuses.
  const std::size_t name_length = std::strlen(header_.name);
  const std::size_t position = header_.name_position;
  const char *bare = position < name_length ? header_.name + position : "";
  CopyCut(bare_name_, sizeof bare_name_, bare);
  const char *target = output_path[0] != '\0' ? output_path : bare_name_;

  if (header_.min_version > kNewestMinVersion) return ReportFailure(kVersionTooNew);
  if (header_.flags & kFlagGarbled) return ReportFailure(kGarbledMember);
  if (header_.method > kMethodFast ||
      (header_.method == kMethodFast && header_.archiver_version == kVersionWithoutFast)) {
    return ReportFailure(kUnsupportedMethod);
  }
  if (header_.file_type > kLastFileType) return ReportFailure(kUnsupportedFileType);
  if (!IsSafeMemberName(bare_name_)) return ReportFailure(kUnsafeMemberName);

  if (std::strlen(target) > kMaxOutputPath ||
      !output_.Create(target, header_.file_type == kFileTypeText,
                      header_.host_system == kHostUnix)) {
    return ReportFailure(kCannotOpen);
  }
  int rc = kOk;
  if (header_.method == kMethodStored) {
    rc = StoredCopy();
  } else {
    // The decoders count the unpacked size as the engine always has: signed.
    const auto unpacked_size = static_cast<std::int32_t>(header_.unpacked_size);
    packed_.Start(&archive_, header_.packed_size);
    bits_.Start(&packed_);
    rc = header_.method == kMethodFast
             ? UnpackFast(bits_, window_, output_, unpacked_size)
             : UnpackHuffman(tables_, bits_, window_, output_, unpacked_size);
  }
  const int closed = output_.Close();
  if (rc == kOk) rc = closed;
  if (rc != kOk) return ReportFailure(rc);
  if (~output_.RunningCrc() != header_.file_crc) return ReportFailure(kDataCrcError);
  return kOk;
}

// Copies the member's packed bytes as they are. The archive's buffer always ends on a
// 4096-byte boundary unless the file ends within it, so a run that stops short of both the
// boundary and the member's end means the file ended: the incomplete 4096-byte chunk is
// not written and the member fails with kReadFailure.
int ArjEngine::StoredCopy() {
  std::uint32_t left = header_.packed_size;
  while (left > 0) {
    const std::size_t avail = archive_.Available();
    if (avail == 0) return kReadFailure;
    std::size_t take = avail < left ? avail : left;
    if (take < left) {
      const std::int64_t end = archive_.Tell() + static_cast<std::int64_t>(take);
      const std::size_t partial = static_cast<std::size_t>(end % ArchiveInput::kChunkAlign);
      if (partial >= take) return kReadFailure;
      take -= partial;
    }
    const int rc = output_.Emit(archive_.Cursor(), take);
    if (rc != kOk) return rc;
    archive_.Advance(take);
    left -= static_cast<std::uint32_t>(take);
  }
  return kOk;
}

}  // namespace arj

namespace {

arj::ArjEngine &Engine() {
  static arj::ArjEngine engine;
  return engine;
}

}  // namespace

short arj_count_members(const char *archive_path) { return Engine().CountMembers(archive_path); }

short arj_extract_member(const char *archive_path, int index, const char *output_path,
                         char *bare_name_out, size_t bare_name_size) {
  return Engine().ExtractMember(archive_path, index, output_path, bare_name_out, bare_name_size);
}
