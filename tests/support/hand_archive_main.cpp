// hand_archive: writes a small archive of stored members under names no archiver would
// store (hostile ones), for the scripts that make test sets.
//   hand_archive OUT.ARJ NAME=FILE [NAME=FILE ...]
// Each member is stored under NAME exactly as given. Its file name position points past the
// last '\' or '/' of NAME only when NAME starts with '@' (the '@' is dropped): so
// '..\..\x.exe' is stored with the whole name as its bare name.
#include <cstdio>
#include <string>

#include "support/hand_archive.h"

namespace {

bool ReadAll(const std::string &path, kxtest::Bytes *data) {
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::uint8_t buf[65536];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: hand_archive OUT.ARJ NAME=FILE [NAME=FILE ...]\n");
    return 2;
  }
  std::vector<kxtest::HandMember> members;
  for (int i = 2; i < argc; ++i) {
    std::string spec = argv[i];
    const std::size_t eq = spec.find('=');
    if (eq == std::string::npos) {
      std::fprintf(stderr, "hand_archive: %s is not NAME=FILE\n", argv[i]);
      return 2;
    }
    std::string name = spec.substr(0, eq);
    std::uint16_t position = 0;
    if (!name.empty() && name[0] == '@') {
      name.erase(0, 1);
      const std::size_t cut = name.find_last_of("\\/");
      position = static_cast<std::uint16_t>(cut == std::string::npos ? 0 : cut + 1);
    }
    kxtest::Bytes data;
    if (!ReadAll(spec.substr(eq + 1), &data)) {
      std::fprintf(stderr, "hand_archive: cannot read %s\n", spec.substr(eq + 1).c_str());
      return 1;
    }
    members.push_back(kxtest::Stored(name, data));
    members.back().name_position = position;
  }
  const kxtest::Bytes archive = kxtest::Archive(members);
  std::FILE *out = std::fopen(argv[1], "wb");
  if (!out) {
    std::fprintf(stderr, "hand_archive: cannot create %s\n", argv[1]);
    return 1;
  }
  const bool ok = std::fwrite(archive.data(), 1, archive.size(), out) == archive.size();
  if (std::fclose(out) != 0 || !ok) {
    std::fprintf(stderr, "hand_archive: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
