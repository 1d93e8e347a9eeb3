// ANSI paths in the current code page, read a character at a time: in a double-byte code
// page a trail byte may have the backslash's code without being one. Every path built from a
// folder and a name goes through JoinUnder, so that rule lives here alone.
#pragma once
#include <cstddef>

// The last character of text is a backslash.
bool EndsWithBackslash(const char *text);

enum class JoinOutcome {
  kJoined,
  // No folder (null or empty: it would name the current folder, or with the backslash the
  // root of the current drive), or no name (null).
  kMissingPart,
  kTooLong,  // the path does not fit the buffer: it is left empty, never cut
};

// out = folder, a backslash unless the folder's last character is one, then name. An empty
// name gives the folder as a path that ends in a backslash.
JoinOutcome JoinUnder(char *out, std::size_t cap, const char *folder, const char *name);

template <std::size_t N>
JoinOutcome JoinUnder(char (&out)[N], const char *folder, const char *name) {
  return JoinUnder(out, N, folder, name);
}

// The folder that holds path (a folder, with or without its trailing backslash), ending in a
// backslash: path up to its last backslash before the last character. kMissingPart when path
// has no such backslash (or none at all).
JoinOutcome ParentFolder(char *out, std::size_t cap, const char *path);

template <std::size_t N>
JoinOutcome ParentFolder(char (&out)[N], const char *path) {
  return ParentFolder(out, N, path);
}

// JoinUnder or ParentFolder succeeded.
inline bool Joined(JoinOutcome outcome) { return outcome == JoinOutcome::kJoined; }
