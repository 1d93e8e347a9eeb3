// Makes ARJ archives for kxpack: from a list of files (kxpack pack), and from a folder tree
// whose *.ARJ sub-folders become member archives (kxpack build --tree).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "arjenc/archive_sink.h"
#include "arjenc/compress.h"
#include "arjenc/header_bytes.h"
#include "tools/kxpack/member_pipeline.h"
#include "tools/kxpack/member_time.h"

namespace kxpack {

struct MakeOptions {
  arjenc::PackOptions pack;  // for members that are not archives
  MemberTimes times;
  unsigned threads = DefaultThreads();  // packing members side by side
};

// The last component of a path: the name a packed file gets.
std::string BareName(const std::string &path);

// Reads a --method value: 0, 1 or 4.
bool ParseMethod(const char *text, arjenc::PackMethod *method);

// An archive written to an open file from where the file stands now.
class FileSink final : public arjenc::ArchiveSink {
 public:
  explicit FileSink(std::FILE *file);
  void Append(const std::uint8_t *data, std::size_t n) override;
  void RewriteStart(const std::uint8_t *data, std::size_t n) override;
  bool ok() const { return ok_; }  // every write and seek succeeded

 private:
  std::FILE *file_;
  std::int64_t start_;
  bool ok_;
};

// Each file becomes a member under its bare name, in the order given. False with a reason
// naming the offending input.
bool PackFiles(const std::vector<std::string> &paths, const std::string &archive_name,
               const MakeOptions &options, arjenc::ArchiveSink *archive, std::string *why);

// Each entry of dir becomes a member, in byte order of the names: a file is packed (stored
// when its name ends in .ARJ), a sub-folder named *.ARJ (any case) becomes a stored member
// archive made from its own entries the same way. Any other sub-folder is refused.
bool PackTree(const std::string &dir, const std::string &archive_name, const MakeOptions &options,
              arjenc::Bytes *archive, std::string *why);

}  // namespace kxpack
