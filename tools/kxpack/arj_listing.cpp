#include "tools/kxpack/arj_listing.h"

#include <cstdio>

#include "arj/crc32.h"
#include "tools/kxpack/file_io.h"

namespace kxpack {
namespace {

constexpr std::size_t kMaxBasicHeader = 2600;
constexpr std::int64_t kScanLimit = 500000;
constexpr std::size_t kFixedPart = 30;

std::uint32_t Le16(const unsigned char *p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
std::uint32_t Le32(const unsigned char *p) { return Le16(p) | Le16(p + 2) << 16; }

class Walker {
 public:
  Walker(std::FILE *f, std::int64_t size, ArjListing *out) : f_(f), size_(size), out_(out) {}

  // Same rule as the engine: a 0x60 0xEA pair followed by a size of at most 2600 and a
  // basic header whose CRC matches.
  bool FindMainHeader() {
    std::int64_t end = size_ - 2 < kScanLimit ? size_ - 2 : kScanLimit;
    if (end <= 0) return false;
    std::int64_t window = end + 4 + kMaxBasicHeader + 4;
    if (window > size_) window = size_;
    std::vector<unsigned char> head(static_cast<std::size_t>(window));
    if (!SeekTo(f_, 0) || std::fread(head.data(), 1, head.size(), f_) != head.size()) return false;
    for (std::int64_t p = 0; p < end; ++p) {
      std::size_t at = static_cast<std::size_t>(p);
      if (head[at] != 0x60 || head[at + 1] != 0xEA) continue;
      if (at + 4 > head.size()) continue;
      std::size_t basic = Le16(&head[at + 2]);
      if (basic > kMaxBasicHeader || at + 4 + basic + 4 > head.size()) continue;
      if (arj::Crc32(&head[at + 4], basic) != Le32(&head[at + 4 + basic])) continue;
      out_->mainHeaderOffset = p;
      return true;
    }
    return false;
  }

  // Reads the header at pos. 1: a header read into header_; 0: the end marker; -1: a fault
  // recorded in the listing.
  int ReadHeader(std::int64_t pos, bool first, std::int64_t *next) {
    unsigned char frame[4];
    if (!ReadAt(pos, frame, 4)) return Fail(104, "unexpected end of file in a header");
    if (Le16(frame) != 0xEA60) return Fail(first ? 111 : 101, "header id missing");
    std::size_t basic = Le16(frame + 2);
    if (basic == 0) return 0;
    if (basic > kMaxBasicHeader) return Fail(101, "header size above 2600");
    header_.resize(basic + 4);
    if (!ReadAt(pos + 4, header_.data(), header_.size()))
      return Fail(104, "unexpected end of file in a header");
    if (arj::Crc32(header_.data(), basic) != Le32(&header_[basic]))
      return Fail(109, "header CRC error");
    header_.resize(basic);
    // Extended headers: each a u16 size, that many bytes and a CRC; a size of 0 ends them.
    std::int64_t at = pos + 4 + std::int64_t(basic) + 4;
    for (;;) {
      unsigned char ext[2];
      if (!ReadAt(at, ext, 2)) return Fail(104, "unexpected end of file in an extended header");
      std::uint32_t extSize = Le16(ext);
      at += 2;
      if (extSize == 0) break;
      at += std::int64_t(extSize) + 4;
      if (at > size_) return Fail(104, "extended header runs past the end of the file");
    }
    *next = at;
    return 1;
  }

  bool DecodeMember(int position, std::int64_t dataOffset, ArjMember *m) {
    if (header_.size() < kFixedPart) {
      Fail(101, "member header shorter than its fixed part");
      return false;
    }
    const unsigned char *h = header_.data();
    std::size_t nameAt = h[0];
    if (nameAt < kFixedPart || nameAt >= header_.size()) {
      Fail(101, "member name lies outside its header");
      return false;
    }
    m->position = position;
    m->hostOs = h[3];
    m->flags = h[4];
    m->method = h[5];
    m->fileType = h[6];
    m->packedSize = Le32(h + 12);
    m->unpackedSize = Le32(h + 16);
    m->fileCrc = Le32(h + 20);
    m->dataOffset = dataOffset;
    m->name.clear();
    for (std::size_t i = nameAt; i < header_.size() && h[i] && m->name.size() < 511; ++i)
      m->name.push_back(static_cast<char>(m->hostOs == 2 ? h[i] : (h[i] & 0x7F)));
    return true;
  }

  void Walk() {
    if (!FindMainHeader()) {
      Fail(111, "not an ARJ archive");
      return;
    }
    std::int64_t pos = out_->mainHeaderOffset, next = 0;
    int r = ReadHeader(pos, true, &next);
    if (r == 0) Fail(100, "empty archive: the first header is an end marker");
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
        Fail(104, "member data runs past the end of the file");
        out_->members.push_back(m);
        return;
      }
      out_->members.push_back(m);
      pos = next + m.packedSize;
    }
  }

 private:
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
  std::vector<unsigned char> header_;
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
