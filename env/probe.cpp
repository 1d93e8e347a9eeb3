#include "env/probe.h"

#include <cstring>

#include "base/ansi_path.h"
#include "base/text.h"
#include "env/registry_view.h"

namespace {

const char kLegacyKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\KX32.EXE";
const char kEngineKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\ENGINE.EXE";
const char kEnginePathValue[] = "Path";

// The engine counts as installed only when all of these lie in its folder; tested in this
// order, the first one missing ends the test.
const char *const kProbeFiles[] = {"engapi.dll",  "engine.exe", "remover.exe",
                                   "remover.dll", "engver.cnf", "config\\engdef.dat"};

// The next "|" of a key path, stepping over double-byte characters whose trail byte has the
// same code; null when there is none.
char *FindPieceSeparator(char *text) {
  for (char *at = text; *at; at = CharNextA(at)) {
    if (*at == '|') return at;
  }
  return nullptr;
}

// Opens a key path made of "|"-separated pieces, each below the one before, with one access
// mask for every step. Null when any piece fails or the path is longer than 259 bytes.
HKEY WalkKeyPath(HKEY root, const char *path, REGSAM access) {
  if (!root || !path) return nullptr;
  char pieces[kx::kPathCap];
  if (!kx::CopyText(pieces, path)) return nullptr;

  HKEY parent = root;
  HKEY current = nullptr;
  char *piece = pieces;
  for (;;) {
    char *separator = FindPieceSeparator(piece);
    if (separator) *separator = '\0';
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExA(parent, piece, 0, access, &opened);
    if (current) RegCloseKey(current);
    if (status != ERROR_SUCCESS) return nullptr;
    current = opened;
    parent = opened;
    if (!separator) return current;
    piece = separator + 1;
  }
}

bool KeyPathExistsWith(HKEY root, const char *path, REGSAM access) {
  HKEY key = WalkKeyPath(root, path, access);
  if (!key) return false;
  RegCloseKey(key);
  return true;
}

// Existence only: a folder path ends in a backslash and so names a folder.
bool PathExists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

HKEY OpenKeyPath(HKEY root, const char *path) {
  return WalkKeyPath(root, path, KEY_READ | kRegistryView32);
}

bool KeyPathExists(HKEY root, const char *path) {
  return KeyPathExistsWith(root, path, KEY_READ | kRegistryView32);
}

bool KeyPathExists64(HKEY root, const char *path) {
  return KeyPathExistsWith(root, path, KEY_READ | kRegistryView64);
}

bool ReadEnginePath(bool view64, char *pathOut) {
  if (!pathOut) return false;
  HKEY key = nullptr;
  REGSAM access = KEY_QUERY_VALUE | (view64 ? kRegistryView64 : kRegistryView32);
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEngineKey, 0, access, &key) != ERROR_SUCCESS) return false;
  char folder[kx::kPathCap];
  DWORD size = sizeof folder;
  LONG status = RegQueryValueExA(key, kEnginePathValue, nullptr, nullptr,
                                 reinterpret_cast<BYTE *>(folder), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return false;
  // Whatever its type, the value is taken as text: a value that fills the whole buffer
  // without a terminator does not fit.
  if (size < sizeof folder) {
    folder[size] = '\0';
  } else if (folder[sizeof folder - 1] != '\0') {
    return false;
  }
  // An empty value names no folder: JoinUnder refuses it.
  return Joined(JoinUnder(pathOut, kx::kPathCap, folder, ""));
}

bool IsEngineInstalled() {
  char folder[kx::kPathCap];
  bool found = false;
  if (KeyPathExists(HKEY_LOCAL_MACHINE, kEngineKey)) {
    found = ReadEnginePath(false, folder);
    if (!found && KeyPathExists64(HKEY_LOCAL_MACHINE, kEngineKey))
      found = ReadEnginePath(true, folder);
  } else if (KeyPathExists64(HKEY_LOCAL_MACHINE, kEngineKey)) {
    found = ReadEnginePath(true, folder);
  }
  if (!found || !PathExists(folder)) return false;

  for (const char *file : kProbeFiles) {
    char probe[kx::kPathCap];
    // A probe path with no room in a path buffer cannot name an installed file.
    if (!Joined(JoinUnder(probe, folder, file))) return false;
    if (!PathExists(probe)) return false;
  }
  return true;
}

bool IsLegacyProductRegistered() {
  return KeyPathExists(HKEY_LOCAL_MACHINE, kLegacyKey) ||
         KeyPathExists64(HKEY_LOCAL_MACHINE, kLegacyKey);
}

bool IsProductInstalled() { return IsLegacyProductRegistered() || IsEngineInstalled(); }
