#include "tools/kxpack/scratch_dir.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#ifdef _WIN32
#include <direct.h>
#else
#include <unistd.h>
#endif

#include "tools/kxpack/file_io.h"

namespace kxpack {
namespace {

void RemoveDir(const std::string &path) {
#ifdef _WIN32
  _rmdir(path.c_str());
#else
  rmdir(path.c_str());
#endif
}

std::string TempBase() {
  for (const char *var : {"TMPDIR", "TEMP", "TMP"}) {
    const char *v = std::getenv(var);
    if (v && *v) return v;
  }
#ifdef _WIN32
  return ".";
#else
  return "/tmp";
#endif
}

}  // namespace

ScratchDir::~ScratchDir() {
  if (dir_.empty()) return;
  for (const std::string &p : paths_) std::remove(p.c_str());
  RemoveDir(dir_);
}

bool ScratchDir::Create(std::string *why) {
  std::string base = TempBase();
  unsigned salt = unsigned(std::time(nullptr)) ^ unsigned(std::clock());
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = base + "/kxpack-" + std::to_string(ProcessId()) + "-" +
                            std::to_string((salt + unsigned(attempt) * 7919u) % 1000000u);
    if (MakeFolder(candidate, FolderAccess::kPrivate)) {
      dir_ = candidate;
      return true;
    }
  }
  *why = "cannot create a scratch folder under " + base;
  return false;
}

std::string ScratchDir::NewPath(const char *suffix) {
  std::string p = dir_ + "/m" + std::to_string(next_++) + suffix;
  paths_.push_back(p);
  return p;
}

}  // namespace kxpack
