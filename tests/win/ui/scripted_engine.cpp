#include "scripted_engine.h"

#include <cstdio>
#include <cstring>

#include "arj/result.h"

namespace {

ScriptedArchive *g_script = nullptr;

short Count(const char *) { return g_script->count; }

short Extract(const char *, int index, const char *outputPath, char *bareNameOut,
              std::size_t bareNameSize) {
  g_script->outputPaths.push_back(outputPath);
  if (index < 1 || index > static_cast<int>(g_script->members.size())) return arj::kNoSuchMember;
  const ScriptedMember &m = g_script->members[index - 1];
  std::snprintf(bareNameOut, bareNameSize, "%s", m.name.c_str());
  if (std::FILE *f = std::fopen(outputPath, "wb")) {
    std::fwrite(m.data.data(), 1, m.data.size(), f);
    std::fclose(f);
  }
  return m.result;
}

}  // namespace

const ArjEntryPoints &ScriptedEngine(ScriptedArchive *archive) {
  g_script = archive;
  static const ArjEntryPoints engine = {Count, Extract};
  return engine;
}
