#include "env/hijack.h"

#include <windows.h>

#include <shlwapi.h>

#include "env/registry_view.h"

namespace {

const char kExecutionOptionsKey[] =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const char kCompatLayersKey[] =
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
const char kDebuggerValue[] = "debugger";

constexpr DWORD kNameCap = 260;

// Names compare as the platform compares file names in the ANSI code page: without regard to
// case, a double-byte character as one unit.
bool SameName(const char *a, const char *b) { return lstrcmpiA(a, b) == 0; }

// What follows the last backslash, or the whole name. Steps over double-byte characters so
// that a trail byte with the backslash's code is no separator.
const char *FileNamePart(const char *name) {
  const char *part = name;
  for (const char *at = name; *at; at = CharNextA(at)) {
    if (*at == '\\') part = at + 1;
  }
  return part;
}

bool HasDebuggerValue(HKEY key) {
  char valueName[kNameCap];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof valueName;
    if (RegEnumValueA(key, index, valueName, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      return false;
    if (SameName(valueName, kDebuggerValue)) return true;
  }
}

void RemoveLayersFor(HKEY root, const char *exeName) {
  HKEY layers = nullptr;
  if (RegOpenKeyExA(root, kCompatLayersKey, 0, KEY_ALL_ACCESS | kRegistryView32, &layers) !=
      ERROR_SUCCESS)
    return;
  char valueName[kNameCap];
  DWORD index = 0;
  for (;;) {
    DWORD length = sizeof valueName;
    LONG status =
        RegEnumValueA(layers, index, valueName, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      // A name too long for any path of ours: step over it rather than let it hide the
      // values behind it.
      ++index;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    // After a deletion the next value moves into this index: look at the same index again.
    if (SameName(FileNamePart(valueName), exeName) &&
        RegDeleteValueA(layers, valueName) == ERROR_SUCCESS)
      continue;
    ++index;
  }
  RegCloseKey(layers);
}

}  // namespace

bool RemoveDebuggerHijack(const char *exeName) {
  if (!exeName) return false;
  HKEY options = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kExecutionOptionsKey, 0, KEY_ALL_ACCESS | kRegistryView32,
                    &options) != ERROR_SUCCESS)
    return false;

  char subkeyName[kNameCap];
  HKEY subkey = nullptr;
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof subkeyName;
    if (RegEnumKeyExA(options, index, subkeyName, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    if (!SameName(subkeyName, exeName)) continue;
    if (RegOpenKeyExA(options, subkeyName, 0, KEY_ALL_ACCESS | kRegistryView32, &subkey) ==
        ERROR_SUCCESS)
      break;
    subkey = nullptr;
  }
  if (subkey) {
    bool hijacked = HasDebuggerValue(subkey);
    RegCloseKey(subkey);
    // Every other option recorded for that program goes with the debugger.
    if (hijacked) SHDeleteKeyA(options, subkeyName);
  }
  RegCloseKey(options);
  return true;
}

bool RemoveCompatLayers(const char *exeName) {
  if (!exeName) return false;
  RemoveLayersFor(HKEY_CURRENT_USER, exeName);
  RemoveLayersFor(HKEY_LOCAL_MACHINE, exeName);
  return true;
}
