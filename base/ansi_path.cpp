#include "base/ansi_path.h"

#include <windows.h>

#include <cstring>

#include "base/text.h"

bool EndsWithBackslash(const char *text) {
  if (!text || !*text) return false;
  const char *last = text;
  for (const char *at = text; *at; at = CharNextA(at)) last = at;
  return *last == '\\';
}

JoinOutcome JoinUnder(char *out, std::size_t cap, const char *folder, const char *name) {
  if (!out || cap == 0) return JoinOutcome::kTooLong;
  out[0] = '\0';
  if (!folder || !*folder || !name) return JoinOutcome::kMissingPart;
  const char *separator = EndsWithBackslash(folder) ? "" : "\\";
  if (!kx::JoinTexts(out, cap, folder, separator, name)) return JoinOutcome::kTooLong;
  return JoinOutcome::kJoined;
}

JoinOutcome ParentFolder(char *out, std::size_t cap, const char *path) {
  if (!out || cap == 0) return JoinOutcome::kTooLong;
  out[0] = '\0';
  if (!path) return JoinOutcome::kMissingPart;
  // The last backslash that is followed by another character.
  const char *cut = nullptr;
  for (const char *at = path; *at; at = CharNextA(at)) {
    if (*at == '\\' && *CharNextA(at)) cut = at;
  }
  if (!cut) return JoinOutcome::kMissingPart;
  std::size_t length = static_cast<std::size_t>(cut - path) + 1;
  if (length >= cap) return JoinOutcome::kTooLong;
  std::memcpy(out, path, length);
  out[length] = '\0';
  return JoinOutcome::kJoined;
}
