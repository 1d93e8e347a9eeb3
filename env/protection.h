// Hand-off to the product's self-protection component, reached through bnstub.dll.
#pragma once

// Results of the set-up. A refusal has shown its message (unless it may show none), uninstalled
// what it could and removed the work folder: the caller ends the run with 138.
enum SetUpResult { kSetUpFailed = 0, kSetUpDone = 1, kSetUpRefused = 2 };

SetUpResult SetUpProtection(const char *workDir, bool showNoMessages, int *errorOut);
bool ReleaseProtection(const char *workDir, int *errorOut);

// The load of bnstub.dll with the restricted search flags. Tests replace it to stand for a
// system that does not know the flags; it returns the old one.
typedef struct HINSTANCE__ *(*StubLoaderFn)(const char *path);
StubLoaderFn SetStubLoaderForTesting(StubLoaderFn loader);
