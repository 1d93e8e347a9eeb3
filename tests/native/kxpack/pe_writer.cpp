#include "tests/native/kxpack/pe_writer.h"

#include "tests/native/kxpack/support.h"

namespace kxtest {

std::string MakePe32(std::size_t sectionRawSize) {
  const std::size_t kHeaders = 0x200, kPe = 0x40, kOpt = kPe + 24, kOptSize = 0xE0;
  const std::size_t kSection = kOpt + kOptSize;
  std::string pe(kHeaders + sectionRawSize, '\0');
  pe[0] = 'M';
  pe[1] = 'Z';
  PutLe32(&pe, 0x3C, kPe);
  pe.replace(kPe, 4, std::string("PE\0\0", 4));
  PutLe16(&pe, kPe + 4, 0x14C);                           // i386
  PutLe16(&pe, kPe + 6, 1);                               // one section
  PutLe16(&pe, kPe + 20, kOptSize);                       // optional header size
  PutLe16(&pe, kPe + 22, 0x0102);                         // executable, 32-bit
  PutLe16(&pe, kOpt + 0, 0x10B);                          // PE32
  PutLe32(&pe, kOpt + 4, std::uint32_t(sectionRawSize));  // size of code
  PutLe32(&pe, kOpt + 16, 0x1000);                        // entry point
  PutLe32(&pe, kOpt + 20, 0x1000);                        // base of code
  PutLe32(&pe, kOpt + 24, 0x1000);                        // base of data
  PutLe32(&pe, kOpt + 28, 0x400000);                      // image base
  PutLe32(&pe, kOpt + 32, 0x1000);                        // section alignment
  PutLe32(&pe, kOpt + 36, 0x200);                         // file alignment
  PutLe16(&pe, kOpt + 40, 4);                             // OS version
  PutLe16(&pe, kOpt + 48, 4);                             // subsystem version
  std::size_t virtualSize = (sectionRawSize + 0xFFF) & ~std::size_t(0xFFF);
  PutLe32(&pe, kOpt + 56, std::uint32_t(0x1000 + virtualSize));  // size of image
  PutLe32(&pe, kOpt + 60, kHeaders);                             // size of headers
  PutLe16(&pe, kOpt + 68, 3);                                    // console subsystem
  PutLe32(&pe, kOpt + 72, 0x100000);                             // stack reserve
  PutLe32(&pe, kOpt + 76, 0x1000);                               // stack commit
  PutLe32(&pe, kOpt + 80, 0x100000);                             // heap reserve
  PutLe32(&pe, kOpt + 84, 0x1000);                               // heap commit
  PutLe32(&pe, kOpt + 92, 16);                                   // data directories
  pe.replace(kSection, 5, ".text");
  PutLe32(&pe, kSection + 8, std::uint32_t(sectionRawSize));   // virtual size
  PutLe32(&pe, kSection + 12, 0x1000);                         // virtual address
  PutLe32(&pe, kSection + 16, std::uint32_t(sectionRawSize));  // raw size
  PutLe32(&pe, kSection + 20, kHeaders);                       // raw data offset
  PutLe32(&pe, kSection + 36, 0x60000020);                     // code, execute, read
  if (sectionRawSize) pe[kHeaders] = char(0xC3);               // ret
  return pe;
}

}  // namespace kxtest
