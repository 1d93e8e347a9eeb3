// Hand-off to the product's self-protection component, reached through bnstub.dll.
#pragma once

bool SetUpProtection(const char *workDir, unsigned char silent, int *errorOut);
bool ReleaseProtection(const char *workDir, int *errorOut);
