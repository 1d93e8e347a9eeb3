// ANSI paths in the current code page, read a character at a time: in a double-byte code
// page a trail byte may have the backslash's code without being one.
#pragma once

// The last character of text is a backslash.
bool EndsWithBackslash(const char *text);
