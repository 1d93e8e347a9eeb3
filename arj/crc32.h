// CRC-32 of IEEE 802.3 (reflected polynomial 0xEDB88320). Portable; carry-less multiply
// kernels are chosen at run time where the processor has them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace arj {

// Feeds n bytes into a running CRC (start with 0xFFFFFFFF, complement at the end).
std::uint32_t Crc32Update(std::uint32_t crc, const void *data, std::size_t n);

// The finished CRC-32 of a block.
inline std::uint32_t Crc32(const void *data, std::size_t n) {
  return ~Crc32Update(0xFFFFFFFFu, data, n);
}

// The ways Crc32Update can compute, slowest first. kAuto takes the fastest this processor
// has; the others exist for tests and benchmarks, which force each one in turn.
enum class Crc32Kernel { kAuto, kTables, kClmul, kVectorClmul };
constexpr Crc32Kernel kCrc32Kernels[] = {Crc32Kernel::kTables, Crc32Kernel::kClmul,
                                         Crc32Kernel::kVectorClmul};
const char *Crc32KernelName(Crc32Kernel kernel);
// Whether the processor (and the build) can run a kernel.
bool Crc32KernelAvailable(Crc32Kernel kernel);
// Makes Crc32Update use one kernel (the tables still take blocks too short for it), or the
// automatic choice again. False, with nothing changed, when the kernel is not available.
bool Crc32ForceKernel(Crc32Kernel kernel);

}  // namespace arj
