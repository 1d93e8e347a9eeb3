// An ARJ engine stand-in whose answers the test writes down: member names, contents and
// results. Used for what the real engine never hands out (unsafe or cut names).
#pragma once
#include <string>
#include <vector>

#include "arj/result.h"
#include "ui/unpack_archive.h"

struct ScriptedMember {
  std::string name;         // bare name handed back (cut to the caller's buffer)
  std::string data;         // written to the output path
  short result = arj::kOk;  // extraction result
};

struct ScriptedArchive {
  short count = 0;
  std::vector<ScriptedMember> members;
  std::vector<std::string> outputPaths;  // every output path the unpack asked for
};

// Entry points that answer from *archive (one script at a time).
const ArjEntryPoints &ScriptedEngine(ScriptedArchive *archive);
