// kxpack's commands, one file each. Each returns the process exit code.
#pragma once

int CmdBuild(int argc, char **argv);    // kxpack build --stub S --payload A|--tree D --output I
int CmdPack(int argc, char **argv);     // kxpack pack --output ARCHIVE FILE...
int CmdInfo(int argc, char **argv);     // kxpack info IMAGE
int CmdList(int argc, char **argv);     // kxpack list ARCHIVE
int CmdTest(int argc, char **argv);     // kxpack test ARCHIVE
int CmdExtract(int argc, char **argv);  // kxpack extract ARCHIVE DIR
int CmdVerify(int argc, char **argv);   // kxpack verify IMAGE
