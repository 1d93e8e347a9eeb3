// Writes the benchmark corpus, the same bytes on every run: text-like and binary-like
// files of about 40 MB in all, and two sets of small files (2,000 and 20,000) for the
// per-member cost.
//   make_corpus OUTPUT_DIR
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and the same everywhere.
struct Random {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
};

std::vector<std::string> MakeVocabulary(Random &rng) {
  static const char *const kSyllables[] = {"an", "ber", "ca", "de", "en", "fo", "ga", "hu",
                                           "in", "jo",  "ka", "la", "me", "no", "or", "pi",
                                           "qu", "re",  "st", "ti", "un", "ve", "wa", "xy"};
  std::vector<std::string> words;
  for (int i = 0; i < 4000; ++i) {
    std::string w;
    const unsigned parts = 1 + rng.Below(4);
    for (unsigned k = 0; k < parts; ++k) w += kSyllables[rng.Below(24)];
    words.push_back(w);
  }
  return words;
}

// Prose-like lines: words drawn with a skewed (roughly Zipf) distribution, punctuation,
// occasional numbers and indented code-like lines.
std::string MakeText(Random &rng, const std::vector<std::string> &words, std::size_t size) {
  std::string out;
  out.reserve(size + 256);
  while (out.size() < size) {
    const unsigned kind = rng.Below(10);
    if (kind == 0) out += "    ";
    const unsigned n = 4 + rng.Below(12);
    for (unsigned i = 0; i < n; ++i) {
      const unsigned r = rng.Below(4000);
      const unsigned index = (r * r / 4000) * r / 4000;  // skewed towards small indexes
      if (i) out += rng.Below(12) == 0 ? ", " : " ";
      out += words[index];
      if (rng.Below(30) == 0) out += std::to_string(rng.Below(100000));
    }
    out += kind == 0 ? ";\n" : ".\n";
  }
  out.resize(size);
  return out;
}

// Executable-like bytes: tables of small little-endian integers, repeated record layouts,
// runs of zeros, short code-like byte patterns and some noise.
std::string MakeBinary(Random &rng, std::size_t size) {
  std::string out;
  out.reserve(size + 256);
  std::vector<std::string> patterns;
  for (int i = 0; i < 64; ++i) {
    std::string p;
    const unsigned len = 4 + rng.Below(24);
    for (unsigned k = 0; k < len; ++k) p += static_cast<char>(rng.Below(256));
    patterns.push_back(p);
  }
  std::uint32_t value = 0x401000;
  while (out.size() < size) {
    switch (rng.Below(6)) {
      case 0:
        for (unsigned i = 0, n = 8 + rng.Below(64); i < n; ++i) {
          value += rng.Below(64);
          for (int b = 0; b < 4; ++b) out += static_cast<char>(value >> (8 * b));
        }
        break;
      case 1:
        out.append(16 + rng.Below(200), '\0');
        break;
      case 2:
      case 3:
        for (unsigned i = 0, n = 2 + rng.Below(10); i < n; ++i) {
          out += patterns[rng.Below(64)];
          out += static_cast<char>(rng.Below(256));
        }
        break;
      case 4:
        for (unsigned i = 0, n = 8 + rng.Below(48); i < n; ++i) {
          out += static_cast<char>(rng.Below(256));
        }
        break;
      default:
        for (unsigned i = 0, n = 4 + rng.Below(40); i < n; ++i) {
          out += static_cast<char>(rng.Below(16));
          out += static_cast<char>(0);
        }
        break;
    }
  }
  out.resize(size);
  return out;
}

bool WriteFile(const std::string &path, const std::string &data) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_corpus OUTPUT_DIR\n");
    return 2;
  }
  const std::string root = argv[1];
  Random rng{20261208};
  const std::vector<std::string> words = MakeVocabulary(rng);
  const std::string big = root + "/big";
  mkdir(root.c_str(), 0777);
  mkdir(big.c_str(), 0777);
  bool ok = true;
  // 40 MB: 4 text-like and 4 binary-like files of 5 MB.
  for (int i = 0; i < 4; ++i) {
    ok &= WriteFile(big + "/text" + std::to_string(i) + ".txt", MakeText(rng, words, 5 << 20));
    ok &= WriteFile(big + "/data" + std::to_string(i) + ".bin", MakeBinary(rng, 5 << 20));
  }
  for (int count : {2000, 20000}) {
    const std::string dir = root + "/small" + std::to_string(count);
    mkdir(dir.c_str(), 0777);
    for (int i = 0; i < count; ++i) {
      const std::size_t size = 200 + rng.Below(1800);
      const std::string data = i % 2 ? MakeBinary(rng, size) : MakeText(rng, words, size);
      char name[32];
      std::snprintf(name, sizeof name, "/F%05d.DAT", i);
      ok &= WriteFile(dir + name, data);
    }
  }
  if (!ok) {
    std::fprintf(stderr, "make_corpus: cannot write under %s\n", root.c_str());
    return 1;
  }
  return 0;
}
