#include "tools/kxpack/archive_maker.h"

#include <utility>

#include "arj/crc32.h"
#include "arjenc/archive_writer.h"
#include "arjenc/member_packer.h"
#include "tools/kxpack/decimal_arg.h"
#include "tools/kxpack/file_io.h"

namespace kxpack {
namespace {

// Pieces in which an archive made in place is read back for its CRC.
constexpr std::size_t kReadBackChunk = std::size_t{1} << 20;

MemberWritten Watcher(const FileSink &sink, Progress *progress) {
  return [&sink, progress](const MemberSource &source, std::string *why) {
    if (progress) progress->Done(1, static_cast<std::uint64_t>(source.size));
    return sink.Holds(why);
  };
}

// The CRC-32 of length bytes of file from offset; false when they cannot be read.
bool CrcOfRange(std::FILE *file, std::int64_t offset, std::int64_t length, std::uint32_t *crc) {
  if (!SeekTo(file, offset)) return false;
  std::vector<std::uint8_t> chunk(kReadBackChunk);
  std::uint32_t state = 0xFFFFFFFFu;
  while (length > 0) {
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::int64_t>(length, static_cast<std::int64_t>(chunk.size())));
    if (std::fread(chunk.data(), 1, n, file) != n) return false;
    state = arj::Crc32Update(state, chunk.data(), n);
    length -= static_cast<std::int64_t>(n);
  }
  *crc = ~state;
  return true;
}

bool WriteAt(std::FILE *file, std::int64_t offset, const arjenc::Bytes &bytes) {
  return SeekTo(file, offset) && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool WriteArchive(const PlannedArchive &plan, const MakeOptions &options, FileSink *sink,
                  std::uint32_t *time, std::string *why);

// Makes a member archive in place: a stored member's header with room for its size and CRC,
// the archive behind it, and the header written again once they are known.
bool WriteNested(const PlannedEntry &entry, const MakeOptions &options, FileSink *sink,
                 arjenc::ArchiveWriter *writer, std::string *why) {
  const std::string &name = entry.file.name, &path = entry.file.path;
  std::FILE *const file = sink->file();
  writer->PassOnPending();
  arjenc::Bytes header;
  if (!arjenc::FrameStoredHeader(name, 0, 0, 0, &header)) {
    *why = path + ": cannot be framed as a member";
    return false;
  }
  const std::int64_t header_at = sink->end();
  sink->Append(header.data(), header.size());
  if (!sink->Holds(why)) return false;

  FileSink nested(file, sink->output());
  std::uint32_t time = 0;
  if (!WriteArchive(*entry.archive, options, &nested, &time, why)) return false;
  const std::int64_t size = nested.end() - nested.start();
  if (size > static_cast<std::int64_t>(arjenc::kMaxMemberSize)) {
    *why = path + ": the archive made from it is 2 GiB or more";
    return false;
  }
  std::uint32_t crc = 0;
  if (!CrcOfRange(file, nested.start(), size, &crc) ||
      !arjenc::FrameStoredHeader(name, static_cast<std::size_t>(size), crc, time, &header) ||
      !WriteAt(file, header_at, header) || !SeekTo(file, nested.end())) {
    *why = "cannot read back or rewrite the archive made from " + path;
    return false;
  }
  sink->Adopt(size);
  writer->NoteMemberTime(time);
  if (options.progress) options.progress->Done(1, 0);
  return true;
}

bool WriteArchive(const PlannedArchive &plan, const MakeOptions &options, FileSink *sink,
                  std::uint32_t *time, std::string *why) {
  arjenc::ArchiveWriter writer(plan.name, options.pack, sink);
  const MemberWritten watch = Watcher(*sink, options.progress);
  // Files in a row are packed together; a member archive between them is made in its turn.
  std::vector<MemberSource> files;
  const auto packFiles = [&] {
    const bool ok =
        PackInOrder(files, options.threads, options.pack, options.times, &writer, watch, why);
    files.clear();
    return ok;
  };
  for (const PlannedEntry &entry : plan.entries) {
    if (!entry.archive) {
      files.push_back(entry.file);
      continue;
    }
    if (!packFiles() || !WriteNested(entry, options, sink, &writer, why)) return false;
  }
  if (!packFiles()) return false;
  writer.Finish();
  *time = writer.time();
  return sink->Holds(why);
}

}  // namespace

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

FileSink::FileSink(std::FILE *file, const OutputFile &output)
    : file_(file), output_(output), start_(Tell(file)), end_(start_), ok_(start_ >= 0) {}

bool FileSink::Holds(std::string *why) const {
  if (ok_) return true;
  *why = over_limit_ ? output_.over_limit_why : "cannot write " + output_.name;
  return false;
}

void FileSink::Append(const std::uint8_t *data, std::size_t n) {
  if (!ok_ || !n) return;
  if (static_cast<std::int64_t>(n) > output_.end_limit - end_) {
    ok_ = false;
    over_limit_ = true;
    return;
  }
  ok_ = std::fwrite(data, 1, n, file_) == n;
  end_ += static_cast<std::int64_t>(n);
}

void FileSink::RewriteStart(const std::uint8_t *data, std::size_t n) {
  ok_ = ok_ && SeekTo(file_, start_) && std::fwrite(data, 1, n, file_) == n && SeekTo(file_, end_);
}

bool PackFiles(const std::vector<MemberSource> &sources, const std::string &archive_name,
               const MakeOptions &options, FileSink *archive, std::string *why) {
  arjenc::ArchiveWriter writer(archive_name, options.pack, archive);
  if (!PackInOrder(sources, options.threads, options.pack, options.times, &writer,
                   Watcher(*archive, options.progress), why))
    return false;
  writer.Finish();
  return archive->Holds(why);
}

bool PackTree(const PlannedArchive &plan, const MakeOptions &options, FileSink *archive,
              std::string *why) {
  std::uint32_t time = 0;
  return WriteArchive(plan, options, archive, &time, why);
}

}  // namespace kxpack
