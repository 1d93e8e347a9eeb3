// Test double of the inner installer (and of any program the installer places or starts).
// It shows no window. Named <name>.exe, it works with files next to itself:
//
//   <name>_report.txt   written anew on every run, one "key=value" per line:
//                         cmdline=<GetCommandLineA(), unchanged>
//                         cwd=<current directory>
//                         file=<name of an entry of its own folder, UTF-8>  (one line each)
//                         visible=<class>|<title>  (one line per visible top-level window)
//                         exit=<the exit code it ends with, 0x%08X>
//   <name>_exit.txt     optional: the exit code, decimal ("3010", "-1") or hexadecimal with
//                       0x ("0xFFFFFFFF"); missing or unreadable gives 0.
//   <name>_hold.txt     optional: a path; after its report the double waits (at most a
//                       minute) until a file of that path exists, so a test can act on the
//                       run while it is held.
//
// So a copy renamed kx.exe reports into kx_report.txt: a test can tell which program ran.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "env/folder_listing.h"

namespace {

std::string OwnPathWithout(const char *suffixToDrop) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  std::size_t len = std::strlen(suffixToDrop);
  if (s.size() >= len && _stricmp(s.c_str() + s.size() - len, suffixToDrop) == 0) {
    s.resize(s.size() - len);
  }
  return s;
}

// Listed in wide characters from its wide name: the ANSI calls would best-fit map the names.
constexpr std::size_t kListingChars = 32767;

std::wstring OwnFolderW() {
  wchar_t path[32768] = {};
  GetModuleFileNameW(nullptr, path, 32768);
  std::wstring s = path;
  return s.substr(0, s.rfind(L'\\') + 1);
}

std::string Utf8(const wchar_t *wide) {
  char text[4 * MAX_PATH] = {};
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
  return text;
}

DWORD ReadExitCode(const std::string &controlPath) {
  std::FILE *f = std::fopen(controlPath.c_str(), "r");
  if (!f) return 0;
  char text[64] = {};
  std::size_t n = std::fread(text, 1, sizeof text - 1, f);
  std::fclose(f);
  text[n] = '\0';
  const char *p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
  return static_cast<DWORD>(std::strtoul(p, nullptr, hex ? 16 : 10));
}

// Waits until the file that <name>_hold.txt names exists.
void WaitForRelease(const std::string &holdPath) {
  std::FILE *f = std::fopen(holdPath.c_str(), "r");
  if (!f) return;
  char path[MAX_PATH] = {};
  std::size_t n = std::fread(path, 1, sizeof path - 1, f);
  std::fclose(f);
  path[n] = '\0';
  for (int polls = 0; polls < 6000 && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES; ++polls)
    Sleep(10);
}

BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM param) {
  if (IsWindowVisible(window)) {
    char cls[128] = {}, title[256] = {};
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, title, sizeof title);
    std::fprintf(reinterpret_cast<std::FILE *>(param), "visible=%s|%s\n", cls, title);
  }
  return TRUE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string base = OwnPathWithout(".exe");  // C:\folder\stage
  DWORD exitCode = ReadExitCode(base + "_exit.txt");

  std::FILE *report = std::fopen((base + "_report.txt").c_str(), "w");
  if (report) {
    std::fprintf(report, "cmdline=%s\n", GetCommandLineA());
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::fprintf(report, "cwd=%s\n", cwd);

    FolderListing listing(OwnFolderW(), kListingChars);
    WIN32_FIND_DATAW entry;
    while (listing.Next(&entry)) std::fprintf(report, "file=%s\n", Utf8(entry.cFileName).c_str());
    EnumWindows(NoteVisibleWindow, reinterpret_cast<LPARAM>(report));
    std::fprintf(report, "exit=0x%08lX\n", static_cast<unsigned long>(exitCode));
    std::fclose(report);
  }
  WaitForRelease(base + "_hold.txt");
  ExitProcess(exitCode);
}
