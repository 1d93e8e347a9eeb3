// Hand-off to the product's self-protection component, reached through bnstub.dll.
#pragma once

bool SetUpProtection(const char *workDir, unsigned char silent, int *errorOut);
bool ReleaseProtection(const char *workDir, int *errorOut);

// The load of bnstub.dll with the restricted search flags. Tests replace it to stand for a
// system that does not know the flags; it returns the old one.
typedef struct HINSTANCE__ *(*StubLoaderFn)(const char *path);
StubLoaderFn SetStubLoaderForTesting(StubLoaderFn loader);
