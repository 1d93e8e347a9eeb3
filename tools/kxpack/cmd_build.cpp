// kxpack build: stub + payload archive (given, or packed from a folder tree) + stamp =
// installation image.
#include <cstdio>
#include <cstring>
#include <string>

#include "arj/crc32.h"
#include "arj/header.h"
#include "arj/little_endian.h"
#include "base/stamp.h"
#include "tools/kxpack/archive_maker.h"
#include "tools/kxpack/commands.h"
#include "tools/kxpack/decimal_arg.h"
#include "tools/kxpack/file_io.h"
#include "tools/kxpack/pe_image.h"

namespace {

int Refuse(const std::string &why) {
  std::fprintf(stderr, "kxpack build: %s\n", why.c_str());
  return 1;
}

// The name the payload archive carries in its main header, as the installer copies it.
constexpr char kPayloadName[] = "KXDATA.ARJ";

// The payload must begin with a complete ARJ main header: id, size, basic header CRC.
bool LooksLikeArjMainHeader(const std::string &p, std::string *why) {
  const auto *bytes = reinterpret_cast<const std::uint8_t *>(p.data());
  if (p.size() < 4 || arj::LoadLe16(bytes) != arj::kHeaderId) {
    *why = "payload does not begin with an ARJ header id";
    return false;
  }
  std::size_t size = arj::LoadLe16(bytes + 2);
  if (size == 0 || size > arj::kMaxBasicHeader) {
    *why = "payload's first ARJ header has a bad size";
    return false;
  }
  if (p.size() < 4 + size + 4) {
    *why = "payload's first ARJ header is truncated";
    return false;
  }
  if (arj::Crc32(bytes + 4, size) != arj::LoadLe32(bytes + 4 + size)) {
    *why = "payload's first ARJ header fails its CRC";
    return false;
  }
  return true;
}

}  // namespace

int CmdBuild(int argc, char **argv) {
  const char *stubPath = nullptr, *payloadPath = nullptr, *treePath = nullptr,
             *outputPath = nullptr;
  unsigned long long silent = 0, requiredMB = 0;
  kxpack::MakeOptions options;
  for (int i = 0; i < argc; ++i) {
    const char *arg = argv[i];
    const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (!value) return Refuse(std::string("missing value after ") + arg);
    if (!std::strcmp(arg, "--stub"))
      stubPath = value;
    else if (!std::strcmp(arg, "--payload"))
      payloadPath = value;
    else if (!std::strcmp(arg, "--tree"))
      treePath = value;
    else if (!std::strcmp(arg, "--output"))
      outputPath = value;
    else if (!std::strcmp(arg, "--method")) {
      if (!kxpack::ParseMethod(value, &options.pack.method))
        return Refuse("--method takes 0, 1 or 4");
    } else if (!std::strcmp(arg, "--silent")) {
      if (!kxpack::ParseDecimal(value, 255, &silent))
        return Refuse("--silent takes a number from 0 to 255");
    } else if (!std::strcmp(arg, "--required-mb")) {
      if (!kxpack::ParseDecimal(value, 0xFFFFFFFFull, &requiredMB))
        return Refuse("--required-mb takes a number from 0 to 4294967295");
    } else {
      return Refuse(std::string("unknown option ") + arg);
    }
    ++i;
  }
  if (!stubPath || !outputPath || !payloadPath == !treePath)
    return Refuse("--stub, --output and one of --payload and --tree are required");

  std::string stub, why;
  if (!kxpack::ReadFile(stubPath, &stub))
    return Refuse(std::string("cannot read stub ") + stubPath);
  kxpack::PeLayout pe;
  if (!kxpack::ParsePe(stub, &pe, &why))
    return Refuse(std::string("stub is not a PE image: ") + why);
  if (pe.peHeaderOffset < kx::kStampOffset + kx::kStampSize)
    return Refuse("stub's PE header offset lies inside the stamp; the stamp would overwrite it");
  if (pe.certTableSize != 0) return Refuse("stub is signed; sign the image after building it");
  if (std::int64_t(stub.size()) > pe.imageEnd)
    return Refuse("stub carries data after its last section; build from the bare stub");
  if (std::int64_t(stub.size()) < pe.imageEnd)
    return Refuse("stub is shorter than the end of its last section");

  arjenc::Bytes packed;
  std::string payload;
  if (treePath) {
    if (!kxpack::IsDirectory(treePath)) return Refuse(std::string("no folder ") + treePath);
    if (!options.times.Init(&why)) return Refuse(why);
    if (!kxpack::PackTree(treePath, kPayloadName, options, &packed, &why)) return Refuse(why);
    payload.assign(packed.begin(), packed.end());
  } else if (!kxpack::ReadFile(payloadPath, &payload)) {
    return Refuse(std::string("cannot read payload ") + payloadPath);
  }
  if (!LooksLikeArjMainHeader(payload, &why)) return Refuse(why);
  if (stub.size() + payload.size() >= 0x80000000ull) return Refuse("image would be 2 GiB or more");

  kx::StampRecord stamp;
  stamp.payloadOffset = static_cast<std::int32_t>(stub.size());
  stamp.payloadLength = static_cast<std::int32_t>(payload.size());
  stamp.silent = static_cast<std::int32_t>(silent);
  stamp.requiredMB = static_cast<std::int32_t>(static_cast<std::uint32_t>(requiredMB));
  kx::EncodeStamp(stamp, reinterpret_cast<unsigned char *>(&stub[kx::kStampOffset]));

  kxpack::AtomicOutput out(outputPath);
  std::FILE *f = out.Open();
  if (!f) return Refuse(std::string("cannot create ") + outputPath);
  std::fwrite(stub.data(), 1, stub.size(), f);
  std::fwrite(payload.data(), 1, payload.size(), f);
  if (!out.Commit()) return Refuse(std::string("cannot write ") + outputPath);
  return 0;
}
