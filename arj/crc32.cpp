#include "arj/crc32.h"

#include <atomic>

#include "base/little_endian.h"

// The carry-less multiply kernels are compiled for any x86 build with target attributes
// (the i686 build's baseline has no SSE at all) and only run where the processor has them.
#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KX_CRC_CLMUL 1
#include <immintrin.h>
#endif

namespace arj {
namespace {

// Slice-by-16: sixteen tables let the loop fold 16 input bytes per step with independent
// lookups, which is several times faster than the byte-at-a-time table walk.
struct SliceTables {
  std::uint32_t t[16][256];
  constexpr SliceTables() : t() {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
      t[0][i] = c;
    }
    for (int s = 1; s < 16; ++s) {
      for (int i = 0; i < 256; ++i) t[s][i] = (t[s - 1][i] >> 8) ^ t[0][t[s - 1][i] & 0xFFu];
    }
  }
};

constexpr SliceTables kTables;

std::uint32_t Crc32Tables(std::uint32_t crc, const unsigned char *p, std::size_t n) {
  const auto &t = kTables.t;
  while (n >= 16) {
    const std::uint32_t a = kx::LoadLe32(p) ^ crc;
    const std::uint32_t b = kx::LoadLe32(p + 4);
    const std::uint32_t c = kx::LoadLe32(p + 8);
    const std::uint32_t d = kx::LoadLe32(p + 12);
    crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
          t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
          t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
          t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    p += 16;
    n -= 16;
  }
  while (n--) crc = t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

#ifdef KX_CRC_CLMUL
// Carry-less multiplication folds 64 bytes per step in four 128-bit lanes. The folded
// remainder is congruent to the data it replaces, so its 16 bytes finish through the tables
// from a zero register, followed by the tail.
#define KX_CLMUL_TARGET __attribute__((target("pclmul,sse2")))

KX_CLMUL_TARGET inline __m128i Load128(const unsigned char *q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
}

KX_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// Folds four 128-bit lanes into one, then the remaining whole 16-byte blocks, and finishes
// the rest through the tables.
KX_CLMUL_TARGET std::uint32_t FinishLanes(__m128i x0, __m128i x1, __m128i x2, __m128i x3,
                                          const unsigned char *p, std::size_t n) {
  const __m128i fold1 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
  x0 = Fold(x0, fold1, x1);
  x0 = Fold(x0, fold1, x2);
  x0 = Fold(x0, fold1, x3);
  while (n >= 16) {
    x0 = Fold(x0, fold1, Load128(p));
    p += 16;
    n -= 16;
  }
  unsigned char rest[16];
  _mm_storeu_si128(reinterpret_cast<__m128i *>(rest), x0);
  return Crc32Tables(Crc32Tables(0, rest, 16), p, n);
}

KX_CLMUL_TARGET std::uint32_t Crc32Clmul(std::uint32_t crc, const unsigned char *p, std::size_t n) {
  const __m128i fold4 = _mm_set_epi64x(0x1c6e41596LL, 0x154442bd4LL);
  __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load128(p + 16);
  __m128i x2 = Load128(p + 32);
  __m128i x3 = Load128(p + 48);
  p += 64;
  n -= 64;
  while (n >= 64) {
    x0 = Fold(x0, fold4, Load128(p));
    x1 = Fold(x1, fold4, Load128(p + 16));
    x2 = Fold(x2, fold4, Load128(p + 32));
    x3 = Fold(x3, fold4, Load128(p + 48));
    p += 64;
    n -= 64;
  }
  return FinishLanes(x0, x1, x2, x3, p, n);
}

// With 512-bit carry-less multiplication one instruction folds all four lanes; the lanes
// then finish through the 128-bit path above.
#define KX_VCLMUL_TARGET __attribute__((target("avx512f,vpclmulqdq,pclmul,sse2")))

KX_VCLMUL_TARGET std::uint32_t Crc32VectorClmul(std::uint32_t crc, const unsigned char *p,
                                                std::size_t n) {
  alignas(64) static const std::uint64_t kFold4[8] = {0x154442bd4, 0x1c6e41596, 0x154442bd4,
                                                      0x1c6e41596, 0x154442bd4, 0x1c6e41596,
                                                      0x154442bd4, 0x1c6e41596};
  const __m512i fold4 = _mm512_loadu_si512(kFold4);
  __m512i x = _mm512_xor_si512(_mm512_loadu_si512(p),
                               _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
  p += 64;
  n -= 64;
  while (n >= 64) {
    const __m512i lo = _mm512_clmulepi64_epi128(x, fold4, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, fold4, 0x11);
    x = _mm512_ternarylogic_epi64(lo, hi, _mm512_loadu_si512(p), 0x96);  // three-way xor
    p += 64;
    n -= 64;
  }
  unsigned char lanes[64];
  _mm512_storeu_si512(lanes, x);
  return FinishLanes(Load128(lanes), Load128(lanes + 16), Load128(lanes + 32), Load128(lanes + 48),
                     p, n);
}

#endif

bool Available(Crc32Kernel kernel) {
  switch (kernel) {
    case Crc32Kernel::kAuto:
    case Crc32Kernel::kTables:
      return true;
#ifdef KX_CRC_CLMUL
    case Crc32Kernel::kClmul:
      return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    case Crc32Kernel::kVectorClmul:
      // The processor check covers the system's support for the 512-bit registers too.
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq") &&
             __builtin_cpu_supports("pclmul");
#endif
    default:
      return false;
  }
}

Crc32Kernel Fastest() {
  static const Crc32Kernel fastest = Available(Crc32Kernel::kVectorClmul)
                                         ? Crc32Kernel::kVectorClmul
                                     : Available(Crc32Kernel::kClmul) ? Crc32Kernel::kClmul
                                                                      : Crc32Kernel::kTables;
  return fastest;
}

std::atomic<Crc32Kernel> forced{Crc32Kernel::kAuto};

}  // namespace

const char *Crc32KernelName(Crc32Kernel kernel) {
  switch (kernel) {
    case Crc32Kernel::kTables:
      return "tables";
    case Crc32Kernel::kClmul:
      return "clmul";
    case Crc32Kernel::kVectorClmul:
      return "vector-clmul";
    default:
      return "auto";
  }
}

bool Crc32KernelAvailable(Crc32Kernel kernel) { return Available(kernel); }

bool Crc32ForceKernel(Crc32Kernel kernel) {
  if (!Available(kernel)) return false;
  forced.store(kernel, std::memory_order_relaxed);
  return true;
}

std::uint32_t Crc32Update(std::uint32_t crc, const void *data, std::size_t n) {
  const unsigned char *p = static_cast<const unsigned char *>(data);
  Crc32Kernel kernel = forced.load(std::memory_order_relaxed);
  if (kernel == Crc32Kernel::kAuto) kernel = Fastest();
#ifdef KX_CRC_CLMUL
  // Each kernel pays from its own block size on; shorter blocks take the next one down.
  if (kernel == Crc32Kernel::kVectorClmul && n >= 1024) return Crc32VectorClmul(crc, p, n);
  if (kernel != Crc32Kernel::kTables && n >= 256) return Crc32Clmul(crc, p, n);
#endif
  return Crc32Tables(crc, p, n);
}

}  // namespace arj
