// Extracts every member of an archive into a folder through the engine's entry points; the
// benchmark script measures its peak memory.
//   arj_extract_all ARCHIVE OUTPUT_DIR
#include <cstdio>
#include <string>

#include "arj/arj.h"
#include "arj/result.h"

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: arj_extract_all ARCHIVE OUTPUT_DIR\n");
    return 2;
  }
  const short count = arj_count_members(argv[1]);
  if (count < 0) return 1;
  char bare[256];
  for (int i = 1; i <= count; ++i) {
    const std::string out = std::string(argv[2]) + "/" + std::to_string(i);
    const short rc = arj_extract_member(argv[1], i, out.c_str(), bare, sizeof bare);
    if (rc != arj::kOk) {
      std::fprintf(stderr, "member %d (%s): %d\n", i, bare, rc);
      return 1;
    }
  }
  std::printf("%d members\n", count);
  return 0;
}
