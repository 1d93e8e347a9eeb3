// run_image: starts an installer image with its own temporary folder, waits for it and prints
// its full 32-bit exit code (a Unix exit status would keep only 8 bits of it).
//   run_image IMAGE TEMPDIR [ARGUMENTS...]
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The current environment with TEMP and TMP replaced, as a block for CreateProcessA.
std::string EnvironmentWithTemp(const std::string &temp) {
  std::string block;
  char *env = GetEnvironmentStringsA();
  for (char *p = env; *p; p += lstrlenA(p) + 1) {
    if (!_strnicmp(p, "TEMP=", 5) || !_strnicmp(p, "TMP=", 4)) continue;
    block.append(p).push_back('\0');
  }
  FreeEnvironmentStringsA(env);
  block.append("TEMP=" + temp).push_back('\0');
  block.append("TMP=" + temp).push_back('\0');
  block.push_back('\0');
  return block;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: run_image IMAGE TEMPDIR [ARGUMENTS...]\n");
    return 2;
  }
  std::string line = std::string("\"") + argv[1] + "\"";
  for (int i = 3; i < argc; ++i) line += std::string(" ") + argv[i];
  std::vector<char> lineBuf(line.begin(), line.end());
  lineBuf.push_back('\0');
  std::string env = EnvironmentWithTemp(argv[2]);

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(argv[1], lineBuf.data(), nullptr, nullptr, FALSE, 0, &env[0], nullptr, &si,
                      &pi)) {
    std::fprintf(stderr, "run_image: cannot start %s (error %lu)\n", argv[1], GetLastError());
    return 2;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  std::printf("exit code: %lu (0x%08lX)\n", code, code);
  return 0;
}
