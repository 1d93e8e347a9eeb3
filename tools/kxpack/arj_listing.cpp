#include "tools/kxpack/arj_listing.h"

#include <cstdio>
#include <cstring>

#include "arj/format/header_frame.h"
#include "arj/header.h"
#include "arj/result.h"
#include "base/little_endian.h"
#include "tools/kxpack/file_io.h"

namespace kxpack {
namespace {

using arj::kFixedPartSize;
using arj::kMaxBasicHeader;
using arj::kScanLimit;
using kx::LoadLe16;

// The walk reads headers by the engine's rules, with two differences, both stricter: where
// they apply, the listing stops with a fault while the engine reads on.
// - A member header shorter than its fixed part, or whose name starts outside it, is a bad
//   header here; the engine reads the missing bytes as zeros.
// - Member data that runs past the end of the file is a read failure here, at that member;
//   the engine counts the member and fails its count at the header it cannot read after it.

constexpr const char *kEndInHeader = "unexpected end of file in a header";

class Walker {
 public:
  Walker(std::FILE *f, std::int64_t size, ArjListing *out) : f_(f), size_(size), out_(out) {}

  // Same rule as the engine's scan.
  bool FindMainHeader() {
    std::int64_t end = size_ - 2 < kScanLimit ? size_ - 2 : kScanLimit;
    if (end <= 0) return false;
    std::int64_t window = end + arj::kFrameLeadSize + kMaxBasicHeader + arj::kFrameCrcSize;
    if (window > size_) window = size_;
    std::vector<unsigned char> head(static_cast<std::size_t>(window));
    if (!SeekTo(f_, 0) || std::fread(head.data(), 1, head.size(), f_) != head.size()) return false;
    for (std::int64_t p = 0; p < end; ++p) {
      const std::size_t at = static_cast<std::size_t>(p);
      std::size_t basic;
      if (arj::CheckFrame(&head[at], head.size() - at, arj::FrameCheck::kScanCandidate, &basic) !=
          arj::Frame::kHeader)
        continue;
      out_->mainHeaderOffset = p;
      return true;
    }
    return false;
  }

  // Reads the header at pos. 1: a header read into header_; 0: the end marker; -1: a fault
  // recorded in the listing.
  int ReadHeader(std::int64_t pos, bool first, std::int64_t *next) {
    if (!ReadFrame(pos)) return Fail(arj::kReadFailure, kEndInHeader);
    std::size_t basic = 0;
    switch (arj::CheckFrame(frame_.data(), frame_.size(), arj::FrameCheck::kInWalk, &basic)) {
      case arj::Frame::kHeader:
        break;
      case arj::Frame::kEndMarker:
        return 0;
      case arj::Frame::kNoLead:
      case arj::Frame::kTruncated:
        return Fail(arj::kReadFailure, kEndInHeader);
      case arj::Frame::kNoId:
        return Fail(first ? arj::kNotAnArchive : arj::kBadHeader, "header id missing");
      case arj::Frame::kTooLong:
        return Fail(arj::kBadHeader, "header size above 2600");
      case arj::Frame::kCrcMismatch:
        return Fail(arj::kHeaderCrcError, "header CRC error");
    }
    header_.assign(frame_.begin() + arj::kFrameLeadSize,
                   frame_.begin() + std::ptrdiff_t(arj::kFrameLeadSize + basic));
    // Extended headers: each a u16 size, that many bytes and a CRC; a size of 0 ends them.
    std::int64_t at = pos + std::int64_t(arj::kFrameLeadSize + basic + arj::kFrameCrcSize);
    for (;;) {
      unsigned char ext[2];
      if (!ReadAt(at, ext, 2))
        return Fail(arj::kReadFailure, "unexpected end of file in an extended header");
      std::uint32_t extSize = kx::LoadLe16(ext);
      at += 2;
      if (extSize == 0) break;
      at += std::int64_t(extSize) + 4;
      if (at > size_)
        return Fail(arj::kReadFailure, "extended header runs past the end of the file");
    }
    *next = at;
    return 1;
  }

  bool DecodeMember(int position, std::int64_t dataOffset, ArjMember *m) {
    if (header_.size() < kFixedPartSize) {
      Fail(arj::kBadHeader, "member header shorter than its fixed part");
      return false;
    }
    std::size_t nameAt = header_[0];
    if (nameAt < kFixedPartSize || nameAt >= header_.size()) {
      Fail(arj::kBadHeader, "member name lies outside its header");
      return false;
    }
    // The engine's own reading of the fields, from the header padded with zeros as it reads it.
    std::memset(basic_, 0, sizeof basic_);
    std::memcpy(basic_, header_.data(), header_.size());
    arj::ParseBasicHeader(basic_, &fields_);
    m->position = position;
    m->fields = fields_;
    m->packedSize = fields_.packed_size;
    m->dataOffset = dataOffset;
    m->name = fields_.name;
    return true;
  }

  void Walk() {
    if (!FindMainHeader()) {
      Fail(arj::kNotAnArchive, "not an ARJ archive");
      return;
    }
    std::int64_t pos = out_->mainHeaderOffset, next = 0;
    int r = ReadHeader(pos, true, &next);
    if (r == 0) Fail(arj::kEmptyArchive, "empty archive: the first header is an end marker");
    if (r != 1) return;
    pos = next;
    for (int position = 1;; ++position) {
      r = ReadHeader(pos, false, &next);
      if (r == 0) {
        out_->complete = true;
        return;
      }
      if (r != 1) return;
      ArjMember m;
      if (!DecodeMember(position, next, &m)) return;
      if (std::int64_t(m.packedSize) > size_ - next) {
        Fail(arj::kReadFailure, "member data runs past the end of the file");
        out_->members.push_back(m);
        return;
      }
      out_->members.push_back(m);
      pos = next + m.packedSize;
    }
  }

 private:
  // Reads the frame at pos as far as the file holds it: the lead, then the basic header and
  // its CRC when the lead's size is one a frame can have.
  bool ReadFrame(std::int64_t pos) {
    const std::int64_t have = pos < size_ ? size_ - pos : 0;
    const auto Cut = [have](std::size_t n) {
      return std::int64_t(n) < have ? n : static_cast<std::size_t>(have);
    };
    frame_.resize(Cut(arj::kFrameLeadSize));
    if (!ReadAt(pos, frame_.data(), frame_.size())) return false;
    if (frame_.size() < arj::kFrameLeadSize) return true;
    const std::size_t basic = kx::LoadLe16(&frame_[2]);
    if (!arj::BasicSizeFits(basic)) return true;
    frame_.resize(Cut(arj::kFrameLeadSize + basic + arj::kFrameCrcSize));
    return ReadAt(pos + std::int64_t(arj::kFrameLeadSize), frame_.data() + arj::kFrameLeadSize,
                  frame_.size() - arj::kFrameLeadSize);
  }
  bool ReadAt(std::int64_t pos, unsigned char *buf, std::size_t n) {
    if (pos < 0 || pos > size_ || std::int64_t(n) > size_ - pos) return false;
    return SeekTo(f_, pos) && std::fread(buf, 1, n, f_) == n;
  }
  int Fail(int code, const char *why) {
    out_->failureCode = code;
    out_->failure = why;
    return -1;
  }

  std::FILE *f_;
  std::int64_t size_;
  ArjListing *out_;
  std::vector<unsigned char> frame_;
  std::vector<unsigned char> header_;
  std::uint8_t basic_[kMaxBasicHeader];
  arj::ArjHeader fields_;
};

}  // namespace

bool ListArjArchive(const std::string &path, ArjListing *out) {
  *out = ArjListing();
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::int64_t size = FileSize(f);
  if (size < 0) {
    std::fclose(f);
    return false;
  }
  Walker(f, size, out).Walk();
  std::fclose(f);
  return true;
}

std::string PrintableName(const std::string &name) {
  std::string shown;
  for (unsigned char c : name) shown.push_back(c < 0x20 || c >= 0x7F ? '?' : char(c));
  return shown;
}

}  // namespace kxpack
