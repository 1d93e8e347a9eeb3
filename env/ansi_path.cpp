#include "env/ansi_path.h"

#include <windows.h>

bool EndsWithBackslash(const char *text) {
  if (!text || !*text) return false;
  const char *last = text;
  for (const char *at = text; *at; at = CharNextA(at)) last = at;
  return *last == '\\';
}
