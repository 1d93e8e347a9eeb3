// kxpack's commands, one file each. Each gets its command line read by the common rules and
// returns the process exit code (command_line.h).
#pragma once

#include "tools/kxpack/command_line.h"

int CmdBuild(const kxpack::CommandLine &line);    // kxpack build --stub S --tree D|--payload A ...
int CmdPack(const kxpack::CommandLine &line);     // kxpack pack --output ARCHIVE FILE...
int CmdInfo(const kxpack::CommandLine &line);     // kxpack info IMAGE
int CmdList(const kxpack::CommandLine &line);     // kxpack list ARCHIVE
int CmdTest(const kxpack::CommandLine &line);     // kxpack test ARCHIVE
int CmdExtract(const kxpack::CommandLine &line);  // kxpack extract ARCHIVE DIR
int CmdVerify(const kxpack::CommandLine &line);   // kxpack verify IMAGE
