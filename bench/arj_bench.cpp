// Throughput of the ARJ engine through its public entry points: whole archives extracted to
// files, member by member, as the installer does. The archives are made by scripts/bench
// from the deterministic corpus; KX_BENCH_DATA names their folder.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "arj/arj.h"
#include "arj/crc32.h"
#include "arj/result.h"

namespace {

std::string DataDir() {
  const char *dir = std::getenv("KX_BENCH_DATA");
  return dir ? dir : "build/native/bench-data";
}

// Where the extracted files go: KX_BENCH_OUT, else the data folder. scripts/bench points it
// at a memory file system when there is one, so the figures measure the engine rather than
// the disk's inode allocator (which slows down markedly when files are deleted and created
// again in quick succession, as a benchmark loop does).
std::string OutputRoot() {
  const char *dir = std::getenv("KX_BENCH_OUT");
  return dir ? dir : DataDir();
}

// Extracts every member to OUT/<position>; returns the bytes written, or -1 on a failure.
long long ExtractAll(const std::string &archive, const std::string &out) {
  const short count = arj_count_members(archive.c_str());
  long long total = 0;
  char bare[16];
  for (int i = 1; i <= count; ++i) {
    const std::string path = out + "/" + std::to_string(i);
    if (arj_extract_member(archive.c_str(), i, path.c_str(), bare, sizeof bare) != arj::kOk)
      return -1;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) total += st.st_size;
  }
  return total;
}

void RemoveOutputs(const std::string &out, int count) {
  for (int i = 1; i <= count; ++i) unlink((out + "/" + std::to_string(i)).c_str());
}

// Each iteration writes fresh files, as the installer does (it renames every member away
// from its temporary name); deleting the previous outputs is not timed.
void ExtractArchive(benchmark::State &state, const char *name) {
  const std::string archive = DataDir() + "/" + name;
  const std::string out = OutputRoot() + "/out-" + name;
  mkdir(out.c_str(), 0777);
  const int count = arj_count_members(archive.c_str());
  long long bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RemoveOutputs(out, count);
    state.ResumeTiming();
    bytes = ExtractAll(archive, out);
    if (bytes < 0) {
      state.SkipWithError("extraction failed (archive missing or damaged?)");
      break;
    }
  }
  RemoveOutputs(out, count);
  rmdir(out.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
  state.counters["members"] = count;
  state.counters["unpacked_bytes"] = static_cast<double>(bytes);
}

void BM_ExtractStored(benchmark::State &state) { ExtractArchive(state, "m0.arj"); }
void BM_ExtractMethod1(benchmark::State &state) { ExtractArchive(state, "m1.arj"); }
void BM_ExtractMethod4(benchmark::State &state) { ExtractArchive(state, "m4.arj"); }
void BM_Extract2000Members(benchmark::State &state) { ExtractArchive(state, "s2000.arj"); }
void BM_Extract20000Members(benchmark::State &state) { ExtractArchive(state, "s20000.arj"); }

// CRC-32 with the kernel the processor's features choose (kAuto), or one forced.
void Crc32With(benchmark::State &state, arj::Crc32Kernel kernel) {
  if (!arj::Crc32ForceKernel(kernel)) {
    state.SkipWithError("this processor lacks the kernel");
    return;
  }
  std::vector<unsigned char> data(static_cast<std::size_t>(state.range(0)));
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<unsigned char>(i * 131 + 7);
  for (auto _ : state) benchmark::DoNotOptimize(arj::Crc32(data.data(), data.size()));
  arj::Crc32ForceKernel(arj::Crc32Kernel::kAuto);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.counters["unpacked_bytes"] = static_cast<double>(state.range(0));
}
void BM_Crc32(benchmark::State &state) { Crc32With(state, arj::Crc32Kernel::kAuto); }
void BM_Crc32Tables(benchmark::State &state) { Crc32With(state, arj::Crc32Kernel::kTables); }
void BM_Crc32Clmul(benchmark::State &state) { Crc32With(state, arj::Crc32Kernel::kClmul); }
void BM_Crc32VectorClmul(benchmark::State &state) {
  Crc32With(state, arj::Crc32Kernel::kVectorClmul);
}

}  // namespace

// Five repetitions each; besides the mean and median, the minimum: on a shared machine the
// fastest repetition is the one least disturbed by other work.
double Minimum(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

#define KX_EXTRACT_BENCHMARK(fn)      \
  BENCHMARK(fn)                       \
      ->Unit(benchmark::kMillisecond) \
      ->UseRealTime()                 \
      ->MinTime(0.5)                  \
      ->Repetitions(5)                \
      ->ComputeStatistics("min", Minimum)
KX_EXTRACT_BENCHMARK(BM_ExtractStored);
KX_EXTRACT_BENCHMARK(BM_ExtractMethod1);
KX_EXTRACT_BENCHMARK(BM_ExtractMethod4);
KX_EXTRACT_BENCHMARK(BM_Extract2000Members);
BENCHMARK(BM_Extract20000Members)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2)
    ->Repetitions(5)
    ->ComputeStatistics("min", Minimum);
BENCHMARK(BM_Crc32)->Arg(256 << 10)->Arg(4096)->Repetitions(5)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_Crc32Tables)->Arg(256 << 10)->Repetitions(5)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_Crc32Clmul)->Arg(256 << 10)->Repetitions(5)->ComputeStatistics("min", Minimum);
BENCHMARK(BM_Crc32VectorClmul)->Arg(256 << 10)->Repetitions(5)->ComputeStatistics("min", Minimum);

BENCHMARK_MAIN();
