// Control file and log of the self-protection test doubles. Both live in the folder the
// doubles lie in (the installer's work folder).
//
// bn_control.txt: "key=value" lines; anything else is ignored. Missing file: the defaults.
//   installed=0|1   IsBastionInstalled's answer (default 0)
//   supported=0|1   IsBastionSupportedOS's answer (default 1)
//   running=0|1     what BN_IsSystemRunning reports (default 0)
//   fail=A,B,...    calls that fail, by export name, e.g. fail=BN_InstallSystem,BN_StartSystem
//   error=N         the code a failing call puts in its error slot (default 1)
//   log=PATH        append the log there instead of bn_log.txt next to the doubles (for runs
//                   that remove the work folder)
// The file is also the simulated machine: a BN_InstallSystem that succeeds writes
// installed=1, BN_StartSystem running=1, BN_UninstallSystem installed=0.
//
// bn_log.txt: one line per call, "<export> <arguments> -> <result>", for example
//   LoadBastionInterfaceFromPath C:\T\KX0101.ins -> 1 bnapi.dll
//   IsBastionInstalled -> 0
//   BN_IsSystemRunning 1234 -> 1 running=0
//   BN_InstallSystem 1234 -> 0 error=5
//   BN_ProtectFolder 1234 C:\T\KX0101.ins -> 1
//   UnLoadBastionInterface bnapi.dll -> 1
#include "bn_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bn {

namespace {

std::string ControlPath() { return OwnFolder() + "bn_control.txt"; }

std::vector<std::string> ReadLines(const std::string &path) {
  std::vector<std::string> lines;
  std::FILE *f = std::fopen(path.c_str(), "r");
  if (!f) return lines;
  char buf[1024];
  while (std::fgets(buf, sizeof buf, f)) {
    std::string line = buf;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    lines.push_back(line);
  }
  std::fclose(f);
  return lines;
}

}  // namespace

std::string OwnFolder() {
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char *>(&OwnFolder), &self);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.rfind('\\') + 1);
}

Control ReadControl() {
  Control c;
  for (const std::string &line : ReadLines(ControlPath())) {
    std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "installed") c.installed = value == "1";
    if (key == "supported") c.supported = value == "1";
    if (key == "running") c.running = value == "1";
    if (key == "fail") c.fail = "," + value + ",";
    if (key == "error") c.error = std::atoi(value.c_str());
    if (key == "log") c.log = value;
  }
  return c;
}

void SetControl(const char *key, bool value) {
  std::vector<std::string> lines = ReadLines(ControlPath());
  std::string prefix = std::string(key) + "=";
  std::string wanted = prefix + (value ? "1" : "0");
  bool replaced = false;
  for (std::string &line : lines) {
    if (line.compare(0, prefix.size(), prefix) == 0) {
      line = wanted;
      replaced = true;
    }
  }
  if (!replaced) lines.push_back(wanted);
  std::FILE *f = std::fopen(ControlPath().c_str(), "w");
  if (!f) return;
  for (const std::string &line : lines) std::fprintf(f, "%s\n", line.c_str());
  std::fclose(f);
}

bool Fails(const Control &c, const char *call) {
  return c.fail.find("," + std::string(call) + ",") != std::string::npos;
}

void Log(const Control &c, const std::string &line) {
  std::string path = c.log.empty() ? OwnFolder() + "bn_log.txt" : c.log;
  std::FILE *f = std::fopen(path.c_str(), "a");
  if (!f) return;
  std::fprintf(f, "%s\n", line.c_str());
  std::fclose(f);
}

std::string Narrow(const wchar_t *text) {
  if (!text) return "(null)";
  char buf[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, -1, buf, sizeof buf - 1, nullptr, nullptr);
  return buf;
}

std::string ModuleName(HMODULE module) {
  char path[MAX_PATH] = {};
  if (!module || !GetModuleFileNameA(module, path, MAX_PATH)) return "?";
  const char *slash = std::strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

}  // namespace bn
