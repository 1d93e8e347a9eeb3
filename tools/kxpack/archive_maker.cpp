#include "tools/kxpack/archive_maker.h"

#include <utility>

#include "arjenc/archive_writer.h"
#include "tools/kxpack/archive_check.h"
#include "tools/kxpack/decimal_arg.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/member_names.h"

namespace kxpack {
namespace {

bool IsArchiveName(const std::string &name) {
  static const char kSuffix[] = ".arj";
  const std::size_t n = sizeof kSuffix - 1;
  if (name.size() <= n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = name[name.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kSuffix[i]) return false;
  }
  return true;
}

// depth: the level of the archive made, the payload being the first.
bool PackFolder(const std::string &dir, const std::string &archive_name, int depth,
                const MakeOptions &options, arjenc::Bytes *archive, std::uint32_t *time,
                std::string *why);

}  // namespace

std::string BareName(const std::string &path) {
#ifdef _WIN32
  const std::size_t cut = path.find_last_of("/\\:");
#else
  const std::size_t cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool ParseMethod(const char *text, arjenc::PackMethod *method) {
  unsigned long long v = 0;
  if (!ParseDecimal(text, 4, &v)) return false;
  switch (v) {
    case 0:
      *method = arjenc::PackMethod::kStored;
      return true;
    case 1:
      *method = arjenc::PackMethod::kHuffman;
      return true;
    case 4:
      *method = arjenc::PackMethod::kFast;
      return true;
    default:
      return false;
  }
}

FileSink::FileSink(std::FILE *file) : file_(file), start_(Tell(file)), ok_(start_ >= 0) {}

void FileSink::Append(const std::uint8_t *data, std::size_t n) {
  if (n && std::fwrite(data, 1, n, file_) != n) ok_ = false;
}

void FileSink::RewriteStart(const std::uint8_t *data, std::size_t n) {
  const std::int64_t end = Tell(file_);
  ok_ = ok_ && end >= 0 && SeekTo(file_, start_) && std::fwrite(data, 1, n, file_) == n &&
        SeekTo(file_, end);
}

bool PackFiles(const std::vector<std::string> &paths, const std::string &archive_name,
               const MakeOptions &options, arjenc::ArchiveSink *archive, std::string *why) {
  arjenc::ArchiveWriter writer(archive_name, options.pack, archive);
  MemberNames names;
  std::vector<MemberSource> sources;
  for (const std::string &path : paths) {
    MemberSource source{path, BareName(path), false, std::string()};
    if (!names.Take(source.name, &source.refused)) source.refused = path + ": " + source.refused;
    sources.push_back(std::move(source));
  }
  if (!PackInOrder(sources, options.threads, options.pack, options.times, &writer, why))
    return false;
  writer.Finish();
  return true;
}

bool PackTree(const std::string &dir, const std::string &archive_name, const MakeOptions &options,
              arjenc::Bytes *archive, std::string *why) {
  std::uint32_t time = 0;
  return PackFolder(dir, archive_name, 1, options, archive, &time, why);
}

namespace {

bool PackFolder(const std::string &dir, const std::string &archive_name, int depth,
                const MakeOptions &options, arjenc::Bytes *archive, std::uint32_t *time,
                std::string *why) {
  // As deep as verify looks, and no deeper: a folder link back up the tree ends here too.
  if (depth > kMaxNesting) {
    *why = dir + ": archives nested more than " + std::to_string(kMaxNesting) + " levels deep";
    return false;
  }
  std::vector<std::string> entries;
  if (!ListFolder(dir, &entries)) {
    *why = "cannot list folder " + dir;
    return false;
  }
  arjenc::MemorySink sink;
  arjenc::ArchiveWriter writer(archive_name, options.pack, &sink);
  MemberNames names;
  // Files in a row are packed together; a folder between them is made when its turn comes,
  // so the first fault in the listing is the one reported.
  std::vector<MemberSource> files;
  const auto packFiles = [&] {
    const bool ok = PackInOrder(files, options.threads, options.pack, options.times, &writer, why);
    files.clear();
    return ok;
  };
  for (const std::string &name : entries) {
    const std::string path = dir + "/" + name;
    std::string refused;
    if (!names.Take(name, &refused)) refused = path + ": " + refused;
    if (IsRegularFile(path)) {
      files.push_back(MemberSource{path, name, IsArchiveName(name), refused});
      continue;
    }
    if (!packFiles()) return false;
    if (!refused.empty()) {
      *why = refused;
      return false;
    }
    if (!IsDirectory(path)) {
      *why = path + ": neither a file nor a folder";
      return false;
    }
    if (!IsArchiveName(name)) {
      *why = path + ": a folder in the tree must be named *.ARJ (it becomes an archive)";
      return false;
    }
    arjenc::Bytes nested;
    std::uint32_t nestedTime = 0;
    if (!PackFolder(path, name, depth + 1, options, &nested, &nestedTime, why)) return false;
    if (!writer.Add(name, nested.data(), nested.size(), nestedTime, true)) {
      *why = path + ": the archive made from it is 2 GiB or more";
      return false;
    }
  }
  if (!packFiles()) return false;
  writer.Finish();
  *archive = std::move(sink.bytes);
  *time = writer.time();
  return true;
}

}  // namespace
}  // namespace kxpack
