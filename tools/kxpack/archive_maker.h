// Makes ARJ archives for kxpack straight into the output file, as planned (set_plan.h): from
// a list of files (kxpack pack), and from a folder tree whose *.ARJ sub-folders become
// member archives (kxpack build --tree), these made in place inside the archive that holds
// them. Memory stays within the member pipeline's bounds, whatever the size of the set.
#pragma once
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "arjenc/archive_sink.h"
#include "arjenc/compress.h"
#include "tools/kxpack/member_pipeline.h"
#include "tools/kxpack/member_time.h"
#include "tools/kxpack/progress.h"
#include "tools/kxpack/set_plan.h"

namespace kxpack {

struct MakeOptions {
  arjenc::PackOptions pack;  // for members that are not archives
  MemberTimes times;
  unsigned threads = DefaultThreads();  // packing members side by side
  Progress *progress = nullptr;         // told of each member written
};

// Reads a --method value: 0, 1 or 4.
bool ParseMethod(const char *text, arjenc::PackMethod *method);

// The file an archive goes to, for messages, and how far into it archives may reach.
struct OutputFile {
  std::string name;
  std::int64_t end_limit = std::numeric_limits<std::int64_t>::max();  // a position in the file
  std::string over_limit_why;  // the reason to fail with when an archive would pass it
};

// An archive written to a file opened for writing and reading, from where the file stands
// now. Nothing goes past the output's limit: the sink fails instead.
class FileSink final : public arjenc::ArchiveSink {
 public:
  FileSink(std::FILE *file, const OutputFile &output);
  void Append(const std::uint8_t *data, std::size_t n) override;
  void RewriteStart(const std::uint8_t *data, std::size_t n) override;
  // Counts n bytes that another sink wrote in place after this one's end.
  void Adopt(std::int64_t n) { end_ += n; }
  // True when every write and seek succeeded; else false with the reason.
  bool Holds(std::string *why) const;
  std::FILE *file() const { return file_; }
  const OutputFile &output() const { return output_; }
  std::int64_t start() const { return start_; }
  std::int64_t end() const { return end_; }

 private:
  std::FILE *file_;
  const OutputFile &output_;
  std::int64_t start_, end_;
  bool ok_;
  bool over_limit_ = false;
};

// The planned files as members, in order. False with a reason naming the offending input or
// what failed.
bool PackFiles(const std::vector<MemberSource> &sources, const std::string &archive_name,
               const MakeOptions &options, FileSink *archive, std::string *why);

// The planned tree as an archive, member archives made in place. False with a reason naming
// the offending input or what failed.
bool PackTree(const PlannedArchive &plan, const MakeOptions &options, FileSink *archive,
              std::string *why);

}  // namespace kxpack
