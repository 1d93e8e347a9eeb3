// kxpack build: stub + payload archive (given, or packed from a folder tree) + stamp =
// installation image.
#include <algorithm>
#include <cstdio>
#include <string>

#include "arj/format/header_frame.h"
#include "base/stamp.h"
#include "tools/kxpack/archive_maker.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/decimal_arg.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/pe_image.h"
#include "tools/kxpack/progress.h"
#include "tools/kxpack/set_plan.h"

namespace {

// The name the payload archive carries in its main header, as the installer copies it.
constexpr char kPayloadName[] = "KXDATA.ARJ";
// The stamp's fields are signed 32-bit: the image ends below 2 GiB.
constexpr std::int64_t kMaxImageEnd = 0x7FFFFFFF;
constexpr char kImageTooLarge[] = "image would be 2 GiB or more";
// Pieces in which a payload given as an archive is copied.
constexpr std::size_t kCopyChunk = std::size_t{1} << 20;

// The payload must begin with a complete ARJ main header: id, size, basic header CRC.
bool LooksLikeArjMainHeader(const std::string &p, std::string *why) {
  std::size_t size = 0;
  switch (arj::CheckFrame(reinterpret_cast<const std::uint8_t *>(p.data()), p.size(),
                          arj::FrameCheck::kInWalk, &size)) {
    case arj::Frame::kHeader:
      return true;
    case arj::Frame::kNoLead:
    case arj::Frame::kNoId:
      *why = "payload does not begin with an ARJ header id";
      return false;
    case arj::Frame::kEndMarker:
    case arj::Frame::kTooLong:
      *why = "payload's first ARJ header has a bad size";
      return false;
    case arj::Frame::kTruncated:
      *why = "payload's first ARJ header is truncated";
      return false;
    case arj::Frame::kCrcMismatch:
      break;
  }
  *why = "payload's first ARJ header fails its CRC";
  return false;
}

// Appends the payload, its head already read, to the image in pieces.
bool CopyPayload(const std::string &head, kxpack::InputFile *payload, kxpack::FileSink *sink,
                 kxpack::Progress *progress) {
  const auto Append = [&](const std::string &bytes) {
    sink->Append(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    progress->Done(0, bytes.size());
  };
  Append(head);
  std::string chunk;
  for (std::int64_t left = payload->size() - static_cast<std::int64_t>(head.size()); left > 0;
       left -= static_cast<std::int64_t>(chunk.size())) {
    chunk.resize(static_cast<std::size_t>(std::min<std::int64_t>(left, kCopyChunk)));
    if (!payload->ReadExactly(&chunk[0], chunk.size())) return false;
    Append(chunk);
  }
  progress->Done(1, 0);
  return true;
}

}  // namespace

int CmdBuild(const kxpack::CommandLine &line) {
  const char *stubPath = line.Value("--stub"), *payloadPath = line.Value("--payload"),
             *treePath = line.Value("--tree"), *outputPath = line.Value("--output");
  unsigned long long silent = 0, requiredMB = 0;
  kxpack::MakeOptions options;
  if (const char *v = line.Value("--method")) {
    if (!kxpack::ParseMethod(v, &options.pack.method))
      return line.UsageError("--method takes 0, 1 or 4");
  }
  if (const char *v = line.Value("--silent")) {
    if (!kxpack::ParseDecimal(v, 255, &silent))
      return line.UsageError("--silent takes a number from 0 to 255");
  }
  if (const char *v = line.Value("--required-mb")) {
    if (!kxpack::ParseDecimal(v, 0xFFFFFFFFull, &requiredMB))
      return line.UsageError("--required-mb takes a number from 0 to 4294967295");
  }
  if (!stubPath || !outputPath || !payloadPath == !treePath)
    return line.UsageError("--stub, --output and one of --payload and --tree are required");

  std::string stub, why;
  if (!kxpack::ReadFile(stubPath, &stub))
    return line.Fail(std::string("cannot read stub ") + stubPath);
  kxpack::PeLayout pe;
  if (!kxpack::ParsePe(stub, &pe, &why))
    return line.Fail(std::string("stub is not a PE image: ") + why);
  if (pe.peHeaderOffset < kx::kStampOffset + kx::kStampSize)
    return line.Fail("stub's PE header offset lies inside the stamp; the stamp would overwrite it");
  if (pe.certTableSize != 0) return line.Fail("stub is signed; sign the image after building it");
  if (std::int64_t(stub.size()) > pe.imageEnd)
    return line.Fail("stub carries data after its last section; build from the bare stub");
  if (std::int64_t(stub.size()) < pe.imageEnd)
    return line.Fail("stub is shorter than the end of its last section");

  kxpack::Progress progress("build", !line.Has("--quiet"));
  options.progress = &progress;
  // Everything that can be checked is checked before the output is begun.
  kxpack::PlannedArchive plan;
  kxpack::InputFile payload;
  std::string payloadHead;
  if (treePath) {
    if (!kxpack::IsDirectory(treePath)) return line.Fail(std::string("no folder ") + treePath);
    if (!options.times.Init(&why)) return line.Fail(why);
    kxpack::SetTotals totals;
    if (!kxpack::PlanTree(treePath, kPayloadName, &plan, &totals, &why)) return line.Fail(why);
    progress.AddTotal(totals.members, totals.bytes);
  } else {
    const kxpack::InputRead opened = payload.Open(payloadPath);
    if (opened == kxpack::InputRead::kUnreadable)
      return line.Fail(std::string("cannot read payload ") + payloadPath);
    if (opened == kxpack::InputRead::kTooLarge) return line.Fail(kImageTooLarge);
    payloadHead.resize(static_cast<std::size_t>(std::min<std::int64_t>(
        payload.size(), arj::kFrameLeadSize + arj::kMaxBasicHeader + arj::kFrameCrcSize)));
    if (!payload.ReadExactly(&payloadHead[0], payloadHead.size()))
      return line.Fail(std::string("cannot read payload ") + payloadPath);
    if (!LooksLikeArjMainHeader(payloadHead, &why)) return line.Fail(why);
    if (static_cast<std::int64_t>(stub.size()) + payload.size() > kMaxImageEnd)
      return line.Fail(kImageTooLarge);
    progress.AddTotal(1, static_cast<std::uint64_t>(payload.size()));
  }

  kxpack::AtomicOutput out(outputPath);
  std::FILE *f = out.Open();
  if (!f) return line.Fail(std::string("cannot create ") + outputPath);
  // The stub, the payload behind it, and the stamp last, once the payload's length is known.
  const kxpack::OutputFile output{outputPath, kMaxImageEnd, kImageTooLarge};
  if (std::fwrite(stub.data(), 1, stub.size(), f) != stub.size())
    return line.Fail(std::string("cannot write ") + outputPath);
  kxpack::FileSink sink(f, output);
  if (treePath) {
    if (!kxpack::PackTree(plan, options, &sink, &why)) return line.Fail(why);
  } else if (!CopyPayload(payloadHead, &payload, &sink, &progress) || !sink.Holds(&why)) {
    return line.Fail(why.empty() ? std::string("cannot read payload ") + payloadPath : why);
  }

  kx::StampRecord stamp;
  stamp.payloadOffset = static_cast<std::int32_t>(stub.size());
  stamp.payloadLength = static_cast<std::int32_t>(sink.end() - sink.start());
  stamp.silent = static_cast<std::int32_t>(silent);
  stamp.requiredMB = static_cast<std::int32_t>(static_cast<std::uint32_t>(requiredMB));
  unsigned char stampBytes[kx::kStampSize];
  kx::EncodeStamp(stamp, stampBytes);
  if (!kxpack::SeekTo(f, kx::kStampOffset) ||
      std::fwrite(stampBytes, 1, sizeof stampBytes, f) != sizeof stampBytes || !out.Commit())
    return line.Fail(std::string("cannot write ") + outputPath);
  return kxpack::kExitOk;
}
