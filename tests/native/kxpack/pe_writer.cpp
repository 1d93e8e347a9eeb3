#include "tests/native/kxpack/pe_writer.h"

#include <cstdint>

#include "tests/native/kxpack/support.h"

namespace kxtest {

namespace {

// The optional header's fields that differ between the two formats; the rest lie at the same
// offsets in both.
struct PeFormat {
  std::uint16_t machine, characteristics, magic;
  std::size_t optionalHeaderSize, wideFields, directoryCountAt;
};
constexpr PeFormat kPe32{0x14C, 0x0102, 0x10B, 0xE0, 4, 92};        // i386, 32-bit
constexpr PeFormat kPe32Plus{0x8664, 0x0022, 0x20B, 0xF0, 8, 108};  // x86-64, large addresses

void PutWide(std::string *pe, const PeFormat &f, std::size_t at, std::uint32_t value) {
  PutLe32(pe, at, value);
  if (f.wideFields == 8) PutLe32(pe, at + 4, 0);
}

std::string MakePe(const PeFormat &f, std::size_t sectionRawSize) {
  const std::size_t kHeaders = 0x200, kPe = 0x40, kOpt = kPe + 24;
  const std::size_t kSection = kOpt + f.optionalHeaderSize;
  std::string pe(kHeaders + sectionRawSize, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  PutLe32(&pe, 0x3C, kPe);
  pe.replace(kPe, 4, std::string("PE\0\0", 4));
  PutLe16(&pe, kPe + 4, f.machine);
  PutLe16(&pe, kPe + 6, 1);  // one section
  PutLe16(&pe, kPe + 20, std::uint16_t(f.optionalHeaderSize));
  PutLe16(&pe, kPe + 22, f.characteristics);
  PutLe16(&pe, kOpt + 0, f.magic);
  PutLe32(&pe, kOpt + 4, std::uint32_t(sectionRawSize));  // size of code
  PutLe32(&pe, kOpt + 16, 0x1000);                        // entry point
  PutLe32(&pe, kOpt + 20, 0x1000);                        // base of code
  if (f.wideFields == 8) {
    PutWide(&pe, f, kOpt + 24, 0x400000);  // image base
  } else {
    PutLe32(&pe, kOpt + 24, 0x1000);    // base of data
    PutLe32(&pe, kOpt + 28, 0x400000);  // image base
  }
  PutLe32(&pe, kOpt + 32, 0x1000);  // section alignment
  PutLe32(&pe, kOpt + 36, 0x200);   // file alignment
  PutLe16(&pe, kOpt + 40, 4);       // OS version
  PutLe16(&pe, kOpt + 48, 4);       // subsystem version
  std::size_t virtualSize = (sectionRawSize + 0xFFF) & ~std::size_t(0xFFF);
  PutLe32(&pe, kOpt + 56, std::uint32_t(0x1000 + virtualSize));  // size of image
  PutLe32(&pe, kOpt + 60, kHeaders);                             // size of headers
  PutLe16(&pe, kOpt + 68, 3);                                    // console subsystem
  std::size_t at = kOpt + 72;
  for (std::uint32_t size : {0x100000u, 0x1000u, 0x100000u, 0x1000u}) {  // stack, heap
    PutWide(&pe, f, at, size);
    at += f.wideFields;
  }
  PutLe32(&pe, kOpt + f.directoryCountAt, 16);  // data directories
  pe.replace(kSection, 5, ".text");
  PutLe32(&pe, kSection + 8, std::uint32_t(sectionRawSize));   // virtual size
  PutLe32(&pe, kSection + 12, 0x1000);                         // virtual address
  PutLe32(&pe, kSection + 16, std::uint32_t(sectionRawSize));  // raw size
  PutLe32(&pe, kSection + 20, kHeaders);                       // raw data offset
  PutLe32(&pe, kSection + 36, 0x60000020);                     // code, execute, read
  if (sectionRawSize) pe[kHeaders] = char(0xC3);               // ret
  return pe;
}

}  // namespace

std::string MakePe32(std::size_t sectionRawSize) { return MakePe(kPe32, sectionRawSize); }

std::string MakePe32Plus(std::size_t sectionRawSize) { return MakePe(kPe32Plus, sectionRawSize); }

}  // namespace kxtest
