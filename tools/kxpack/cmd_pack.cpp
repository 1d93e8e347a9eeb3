// kxpack pack: files in, one ARJ archive out.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/kxpack/archive_maker.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/decimal_arg.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/progress.h"
#include "tools/kxpack/set_plan.h"

int CmdPack(const kxpack::CommandLine &line) {
  const char *outputPath = line.Value("--output");
  kxpack::MakeOptions options;
  options.pack.best = line.Has("--best");
  if (const char *v = line.Value("--method")) {
    if (!kxpack::ParseMethod(v, &options.pack.method))
      return line.UsageError("--method takes 0, 1 or 4");
  }
  if (const char *v = line.Value("--threads")) {
    unsigned long long threads = 0;
    if (!kxpack::ParseDecimal(v, kxpack::kMaxThreads, &threads) || threads == 0)
      return line.UsageError("--threads takes 1 to " + std::to_string(kxpack::kMaxThreads));
    options.threads = static_cast<unsigned>(threads);
  }
  if (!outputPath) return line.UsageError("--output is required");
  const std::vector<std::string> &files = line.operands();

  std::string why;
  if (!options.times.Init(&why)) return line.Fail(why);
  kxpack::Progress progress("pack", !line.Has("--quiet"));
  options.progress = &progress;
  // Every input is checked before the archive is begun.
  std::vector<kxpack::MemberSource> sources;
  kxpack::SetTotals totals;
  if (!kxpack::PlanFiles(files, &sources, &totals, &why)) return line.Fail(why);
  progress.AddTotal(totals.members, totals.bytes);
  // Written as it is made, under a temporary name that a failure removes.
  kxpack::AtomicOutput out(outputPath);
  std::FILE *f = out.Open();
  if (!f) return line.Fail(std::string("cannot create ") + outputPath);
  kxpack::OutputFile output;
  output.name = outputPath;
  kxpack::FileSink archive(f, output);
  if (!kxpack::PackFiles(sources, kxpack::BareName(outputPath), options, &archive, &why))
    return line.Fail(why);
  if (!out.Commit()) return line.Fail(std::string("cannot write ") + outputPath);
  return kxpack::kExitOk;
}
