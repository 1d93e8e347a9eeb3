#include "support/win_harness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "support/pixels.h"

namespace kxtest {

namespace {

std::wstring Widen(const std::string &text, UINT codePage) {
  int n = MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(codePage, 0, text.c_str(), -1, &out[0], n);
  out.resize(out.size() - 1);
  return out;
}

}  // namespace

std::string WinePath(const std::string &unixPath) {
  std::string p = "Z:" + unixPath;
  std::replace(p.begin(), p.end(), '/', '\\');
  return p;
}

std::string TestDataDir() {
  const char *unix = std::getenv("KX_TEST_DATA");
  std::string dir;
  if (unix && *unix) {
    dir = WinePath(unix);
  } else {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    dir = std::string(temp) + "kxtest";
  }
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

std::string FreshDir(const std::string &name) {
  std::string dir = TestDataDir() + "\\" + name;
  RemoveTree(dir);
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

bool WriteFileBytes(const std::string &path, const std::string &bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = bytes.empty() ||
            WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

bool ReadFileBytes(const std::string &path, std::string *bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(f, nullptr);
  bytes->assign(size, '\0');
  DWORD read = 0;
  BOOL ok = size == 0 || ReadFile(f, &(*bytes)[0], size, &read, nullptr);
  CloseHandle(f);
  return ok && read == size;
}

bool Exists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string &path) {
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

Child::~Child() {
  if (process) CloseHandle(process);
}

namespace {

// The current environment with some variables replaced (their values in UTF-8), as a sorted
// wide block: a TEMP outside the code page reaches the child unmapped.
std::wstring EnvironmentBlock(const std::map<std::string, std::string> &overrides) {
  std::map<std::wstring, std::wstring> vars;  // keyed by upper-case name
  std::map<std::wstring, std::wstring> names;
  wchar_t *block = GetEnvironmentStringsW();
  for (wchar_t *p = block; *p; p += lstrlenW(p) + 1) {
    std::wstring entry = p;
    size_t eq = entry.find(L'=', 1);
    if (eq == std::wstring::npos) continue;
    std::wstring name = entry.substr(0, eq), key = name;
    CharUpperW(&key[0]);
    vars[key] = entry.substr(eq + 1);
    names[key] = name;
  }
  FreeEnvironmentStringsW(block);
  for (const auto &kv : overrides) {
    std::wstring name = Widen(kv.first, CP_UTF8), key = name;
    CharUpperW(&key[0]);
    vars[key] = Widen(kv.second, CP_UTF8);
    names[key] = name;
  }
  std::wstring out;
  for (const auto &kv : vars) out += names[kv.first] + L"=" + kv.second + L'\0';
  out += L'\0';
  return out;
}

}  // namespace

bool Start(const std::string &exe, const std::string &args,
           const std::map<std::string, std::string> &env, const std::string &cwd, Child *out) {
  std::wstring line = Widen("\"" + exe + "\"" + (args.empty() ? "" : " " + args), CP_ACP);
  std::wstring exeW = Widen(exe, CP_ACP), cwdW = Widen(cwd, CP_ACP);
  std::wstring block = EnvironmentBlock(env);
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(exeW.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      &block[0], cwd.empty() ? nullptr : cwdW.c_str(), &si, &pi)) {
    return false;
  }
  CloseHandle(pi.hThread);
  out->process = pi.hProcess;
  out->pid = pi.dwProcessId;
  return true;
}

DWORD WaitExit(Child &child, DWORD timeoutMs) {
  if (WaitForSingleObject(child.process, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(child.process, &code);
  return code;
}

void Kill(Child &child) {
  if (child.process && WaitForSingleObject(child.process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(child.process, 0xDEAD);
    WaitForSingleObject(child.process, 5000);
  }
}

namespace {
struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto *s = reinterpret_cast<WindowSearch *>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == s->pid) s->found.push_back(hwnd);
  return TRUE;
}
}  // namespace

std::vector<HWND> WindowsOf(DWORD pid) {
  WindowSearch search{pid, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool AnyVisibleWindow(DWORD pid) {
  for (HWND w : WindowsOf(pid))
    if (IsWindowVisible(w)) return true;
  return false;
}

static bool Matches(HWND w, const char *className, const char *title) {
  char buf[512];
  if (className) {
    GetClassNameA(w, buf, sizeof buf);
    if (std::strcmp(buf, className) != 0) return false;
  }
  if (title) {
    GetWindowTextA(w, buf, sizeof buf);
    if (std::strcmp(buf, title) != 0) return false;
  }
  return true;
}

HWND WaitForWindow(DWORD pid, const char *className, const char *title, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    for (HWND w : WindowsOf(pid))
      if (Matches(w, className, title)) return w;
    Sleep(20);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

static std::string TextOf(HWND w) {
  char buf[2048] = {};
  GetWindowTextA(w, buf, sizeof buf);
  return buf;
}

namespace {

// The standard icon drawn on a background of one pixel's colour.
std::vector<DWORD> Render(LPCSTR iconId, DWORD background, int w, int h) {
  return IconOver(LoadIconA(nullptr, iconId),
                  RGB(GetBValue(background), GetGValue(background), GetRValue(background)), w,
                  h);  // pixels are in BGR order
}

// Which standard icon a static icon control shows: the box's icon handle belongs to the other
// process, so compare what is on the screen with each standard icon drawn here.
bool ShowsErrorIcon(HWND iconControl) {
  RECT r;
  GetWindowRect(iconControl, &r);
  int w = GetSystemMetrics(SM_CXICON), h = GetSystemMetrics(SM_CYICON);
  HDC screen = GetDC(nullptr);
  std::vector<DWORD> shown = Capture(screen, r.left, r.top, w, h);
  ReleaseDC(nullptr, screen);
  LPCSTR ids[] = {reinterpret_cast<LPCSTR>(IDI_ERROR), reinterpret_cast<LPCSTR>(IDI_WARNING),
                  reinterpret_cast<LPCSTR>(IDI_INFORMATION),
                  reinterpret_cast<LPCSTR>(IDI_QUESTION)};
  size_t best = 0;
  long bestDiff = -1;
  for (size_t i = 0; i < 4; ++i) {
    std::vector<DWORD> drawn = Render(ids[i], shown[0], w, h);
    long diff = 0;
    for (size_t p = 0; p < shown.size(); ++p)
      diff += (shown[p] & 0xFFFFFF) != (drawn[p] & 0xFFFFFF);
    if (bestDiff < 0 || diff < bestDiff) {
      bestDiff = diff;
      best = i;
    }
  }
  return best == 0 && bestDiff < static_cast<long>(shown.size()) / 4;
}

}  // namespace

// A window has painted once nothing of it waits to be painted any more.
static bool Painted(HWND w) { return !GetUpdateRect(w, nullptr, FALSE); }

// Whether the screen shows anything but one colour where an icon control stands.
static bool IconOnScreen(HWND iconControl) {
  RECT r;
  GetWindowRect(iconControl, &r);
  HDC screen = GetDC(nullptr);
  std::vector<DWORD> shown =
      Capture(screen, r.left, r.top, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  ReleaseDC(nullptr, screen);
  for (DWORD pixel : shown)
    if ((pixel & 0xFFFFFF) != (shown[0] & 0xFFFFFF)) return true;
  return false;
}

static bool IsVisibleIcon(HWND w) {
  char cls[64];
  GetClassNameA(w, cls, sizeof cls);
  return !lstrcmpiA(cls, "Static") && (GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
         IsWindowVisible(w);
}

// A box is read once it is on the screen with its OK button, it and its controls have
// painted, and its icon, if it has one, has reached the screen.
static bool BoxReady(HWND box) {
  HWND ok = GetDlgItem(box, IDOK);
  if (!IsWindowVisible(box) || !GetDlgItem(box, 0xFFFF) || !ok || !IsWindowVisible(ok) ||
      !Painted(box))
    return false;
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (IsWindowVisible(c) && !Painted(c)) return false;
    if (IsVisibleIcon(c) && !IconOnScreen(c)) return false;
  }
  return true;
}

static bool ReadBox(HWND box, MessageBoxInfo *info) {
  if (!BoxReady(box)) return false;
  info->caption = TextOf(box);
  HWND text = GetDlgItem(box, 0xFFFF);
  if (!text) return false;
  info->text = TextOf(text);
  info->errorIcon = false;
  info->buttons.clear();
  RedrawWindow(box, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char cls[64];
    GetClassNameA(c, cls, sizeof cls);
    if (IsVisibleIcon(c)) info->errorIcon = ShowsErrorIcon(c);
    if (!lstrcmpiA(cls, "Button") && IsWindowVisible(c)) info->buttons.push_back(TextOf(c));
  }
  return true;
}

bool ReadAndDismissMessageBox(Child &child, MessageBoxInfo *info, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    HWND box = WaitForWindow(child.pid, "#32770", nullptr, 50);
    // The box may exist a moment before its text control does.
    if (box && GetDlgItem(box, 0xFFFF) && ReadBox(box, info)) {
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      return true;
    }
    // The poll's pause: a box not painted yet is looked at again a moment later.
    if (WaitForSingleObject(child.process, 10) == WAIT_OBJECT_0) return false;
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

DWORD RunDismissingBoxes(const std::string &exe, const std::string &args,
                         const std::map<std::string, std::string> &env,
                         std::vector<MessageBoxInfo> *boxes, DWORD timeoutMs,
                         const std::function<void(Child &)> &onPoll) {
  Child child;
  if (!Start(exe, args, env, "", &child)) return STILL_ACTIVE;
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (WaitForSingleObject(child.process, onPoll ? 5 : 20) == WAIT_OBJECT_0) break;
    if (onPoll) onPoll(child);
    MessageBoxInfo info;
    HWND box = WaitForWindow(child.pid, "#32770", "Installer", 0);
    if (box && GetDlgItem(box, 0xFFFF) && ReadBox(box, &info)) {
      if (boxes) boxes->push_back(info);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
      // Wait for this box to go before looking for another.
      for (int i = 0; i < 250 && IsWindow(box); ++i) Sleep(20);
    }
  }
  DWORD code = WaitExit(child, 0);
  if (code == STILL_ACTIVE) Kill(child);
  return code;
}

}  // namespace kxtest
