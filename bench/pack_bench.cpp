// Speed and size of the encoder on the benchmark corpus, file by file as an archiver packs
// them: read the file, its CRC-32, pack it (stored when that is not smaller). The corpus is
// made by scripts/bench; KX_BENCH_DATA names its folder (the script keeps a copy of the
// corpus on a memory file system, where the arj archiver is timed on the same files).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "arj/crc32.h"
#include "arjenc/compress.h"
#include "arjenc/match_finder.h"

namespace {

std::string CorpusDir() {
  const char *dir = std::getenv("KX_BENCH_CORPUS");
  return dir ? dir : "build/native/bench-data/corpus";
}

std::vector<std::string> FilesIn(const std::string &dir) {
  std::vector<std::string> files;
  if (DIR *d = opendir(dir.c_str())) {
    while (const dirent *e = readdir(d)) {
      if (e->d_name[0] != '.') files.push_back(dir + "/" + e->d_name);
    }
    closedir(d);
  }
  std::sort(files.begin(), files.end());
  return files;
}

// One open, one size query and one read, as an archiver would take a file in.
bool ReadInto(const std::string &path, std::vector<std::uint8_t> *data) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (ok) {
    data->resize(static_cast<std::size_t>(st.st_size));
    ok = read(fd, data->data(), data->size()) == static_cast<ssize_t>(data->size());
  }
  close(fd);
  return ok;
}

void PackSet(benchmark::State &state, const char *set, arjenc::PackMethod method, bool best) {
  const std::vector<std::string> files = FilesIn(CorpusDir() + "/" + set);
  if (files.empty()) {
    state.SkipWithError("corpus missing (run scripts/bench)");
    return;
  }
  arjenc::PackOptions options;
  options.method = method;
  options.best = best;
  std::vector<std::uint8_t> data, packed;
  arjenc::MatchTables tables;  // kept from file to file, as an archive writer keeps them
  double in = 0, out = 0;
  for (auto _ : state) {
    in = out = 0;
    for (const std::string &path : files) {
      if (!ReadInto(path, &data)) {
        state.SkipWithError("cannot read the corpus");
        return;
      }
      benchmark::DoNotOptimize(arj::Crc32(data.data(), data.size()));
      const bool smaller = arjenc::Pack(data.data(), data.size(), options, &packed, &tables);
      in += static_cast<double>(data.size());
      out += static_cast<double>(smaller ? packed.size() : data.size());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in));
  state.counters["files"] = static_cast<double>(files.size());
  state.counters["input_bytes"] = in;
  state.counters["packed_bytes"] = out;
}

void BM_PackMethod1(benchmark::State &s, const char *set) {
  PackSet(s, set, arjenc::PackMethod::kHuffman, false);
}
void BM_PackMethod1Best(benchmark::State &s, const char *set) {
  PackSet(s, set, arjenc::PackMethod::kHuffman, true);
}
void BM_PackMethod4(benchmark::State &s, const char *set) {
  PackSet(s, set, arjenc::PackMethod::kFast, false);
}

double Minimum(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace

// Three repetitions each, with the minimum: on a shared machine the fastest repetition is
// the one least disturbed by other work.
#define KX_PACK_BENCHMARK(fn, set)    \
  BENCHMARK_CAPTURE(fn, set, #set)    \
      ->Unit(benchmark::kMillisecond) \
      ->Iterations(1)                 \
      ->Repetitions(3)                \
      ->ComputeStatistics("min", Minimum)
KX_PACK_BENCHMARK(BM_PackMethod1, big);
KX_PACK_BENCHMARK(BM_PackMethod1, small2000);
KX_PACK_BENCHMARK(BM_PackMethod4, big);
KX_PACK_BENCHMARK(BM_PackMethod4, small2000);
BENCHMARK_CAPTURE(BM_PackMethod1Best, big, "big")->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(BM_PackMethod1Best, small2000, "small2000")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
