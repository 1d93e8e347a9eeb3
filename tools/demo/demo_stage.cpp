// Demo inner installer. The front end starts it as stage.exe from the work folder; it shows
// what it received there: its command line, its current folder, the files beside it and the
// saved command line ARGSAVE.DAT. With KX_DEMO_AUTOCLOSE=N in the environment it closes
// itself after N seconds, so an unattended demo run ends on its own. It always exits with 0.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT_PTR kAutoCloseTimer = 1;
constexpr DWORD kMaxArgsaveBytes = 4096;
HWND g_text = nullptr;
std::string g_report;

// The folder of this program, with a trailing backslash.
std::string OwnFolder() {
  char path[MAX_PATH] = {};
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ".\\";
  std::string s(path, n);
  return s.substr(0, s.find_last_of("\\/") + 1);
}

// Bytes as text an edit control can show: line breaks kept, other control bytes escaped.
std::string Printable(const std::string &bytes) {
  std::string out;
  char hex[8];
  for (unsigned char c : bytes) {
    if (c == '\n') {
      out += "\r\n";
    } else if (c == '\r') {
      continue;
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += char(c);
    }
  }
  return out;
}

// A listed name as UTF-8, for the report only: never through the code page's best-fit table.
std::string Utf8(const wchar_t *name) {
  char out[4 * MAX_PATH] = {};
  return WideCharToMultiByte(CP_UTF8, 0, name, -1, out, sizeof out, nullptr, nullptr) > 0 ? out
                                                                                          : "?";
}

std::string FilesIn(const std::string &folder) {
  std::string list;
  wchar_t pattern[MAX_PATH] = {};
  if (MultiByteToWideChar(CP_ACP, 0, (folder + "*").c_str(), -1, pattern, MAX_PATH) == 0)
    return "  (cannot list the folder)\r\n";
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW(pattern, &found);
  if (h == INVALID_HANDLE_VALUE) return "  (cannot list the folder)\r\n";
  int count = 0;
  do {
    std::string name = Utf8(found.cFileName);
    if (name == "." || name == "..") continue;
    bool dir = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    list += "  " + Printable(name) + (dir ? "\\" : "") + "\r\n";
    ++count;
  } while (FindNextFileW(h, &found));
  FindClose(h);
  if (count == 0) list = "  (none)\r\n";
  return list;
}

std::string ArgsaveReport(const std::string &folder) {
  HANDLE f = CreateFileA((folder + "ARGSAVE.DAT").c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "ARGSAVE.DAT: not present\r\n";
  std::string data(kMaxArgsaveBytes, '\0');
  DWORD got = 0;
  BOOL ok = ReadFile(f, &data[0], kMaxArgsaveBytes, &got, nullptr);
  CloseHandle(f);
  if (!ok) return "ARGSAVE.DAT: present, unreadable\r\n";
  data.resize(got);
  return "ARGSAVE.DAT: present, " + std::to_string(got) + " bytes:\r\n  [" + Printable(data) +
         "]\r\n";
}

std::string Report() {
  char cwd[MAX_PATH] = {};
  DWORD n = GetCurrentDirectoryA(MAX_PATH, cwd);
  std::string folder = OwnFolder();
  std::string r = "Demo inner installer\r\n\r\n";
  r += "Command line:\r\n  [" + Printable(GetCommandLineA()) + "]\r\n";
  r += "Current folder:\r\n  " + (n && n < MAX_PATH ? Printable(cwd) : "(unknown)") + "\r\n";
  r += "Program folder:\r\n  " + Printable(folder) + "\r\n";
  r += ArgsaveReport(folder);
  r += "Files in the program folder:\r\n" + FilesIn(folder);
  return r;
}

LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      g_text = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", g_report.c_str(),
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE |
                                   ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                               0, 0, 0, 0, wnd, nullptr, GetModuleHandleA(nullptr), nullptr);
      SendMessageA(g_text, WM_SETFONT, WPARAM(GetStockObject(ANSI_FIXED_FONT)), TRUE);
      return 0;
    }
    case WM_SIZE:
      MoveWindow(g_text, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
      return 0;
    case WM_TIMER:
      if (wp == kAutoCloseTimer) DestroyWindow(wnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(wnd, msg, wp, lp);
  }
}

// Seconds from KX_DEMO_AUTOCLOSE, or 0 when it is unset or not a positive number.
UINT AutoCloseSeconds() {
  char value[32] = {};
  DWORD n = GetEnvironmentVariableA("KX_DEMO_AUTOCLOSE", value, sizeof value);
  if (n == 0 || n >= sizeof value) return 0;
  char *end = nullptr;
  unsigned long seconds = std::strtoul(value, &end, 10);
  if (*end || seconds == 0 || seconds > 3600) return 0;
  return UINT(seconds);
}

// The same report in a file beside the program, for whoever runs the demo from a terminal.
void SaveReport(const std::string &report) {
  HANDLE f = CreateFileA((OwnFolder() + "stage_report.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(f, report.data(), DWORD(report.size()), &written, nullptr);
  CloseHandle(f);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  g_report = Report();
  SaveReport(g_report);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
  wc.lpszClassName = "KxDemoStage";
  if (!RegisterClassA(&wc)) return 0;
  HWND wnd =
      CreateWindowExA(0, wc.lpszClassName, "Demo inner installer", WS_OVERLAPPEDWINDOW,
                      CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr, instance, nullptr);
  if (!wnd) return 0;
  if (UINT seconds = AutoCloseSeconds()) SetTimer(wnd, kAutoCloseTimer, seconds * 1000, nullptr);
  ShowWindow(wnd, show);
  UpdateWindow(wnd);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
