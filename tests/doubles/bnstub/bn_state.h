// Shared by the self-protection test doubles (bnstub.dll and bnapi.dll): the control file that
// decides their answers, and the call log. Format: see bn_state.cpp.
#pragma once
#include <windows.h>

#include <string>

namespace bn {

struct Control {
  bool installed = false;  // installed=
  bool supported = true;   // supported=
  bool running = false;    // running=
  std::string fail;        // fail=  ",Name,Name," (with the separators around every name)
  int error = 1;           // error=
  std::string log;         // log=
};

// Reads the control file next to the module that contains this code.
Control ReadControl();
// Changes one key of the control file (the simulated machine state), keeping the others.
void SetControl(const char *key, bool value);
// True when the control file names the call among the ones that fail.
bool Fails(const Control &c, const char *call);
// Appends one line to the log.
void Log(const Control &c, const std::string &line);

// Helpers for the log lines.
std::string Narrow(const wchar_t *text);
std::string ModuleName(HMODULE module);
// The folder this module lies in, with a trailing backslash.
std::string OwnFolder();

}  // namespace bn
