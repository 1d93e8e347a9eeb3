// The single-instance guard: a named event in the global namespace that Everyone may open.
#pragma once
#include <windows.h>

#include <aclapi.h>

extern const char kRunningEventName[];  // "Global\\Kxunpack_running"

BOOL CreateRunningEvent(HANDLE *handleOut, DWORD *errorOut);
BOOL BuildEventSecurity(SECURITY_ATTRIBUTES *sa, PSID *sid, PACL *acl, PSECURITY_DESCRIPTOR *sd,
                        DWORD accessMask);
BOOL FreeEventSecurity(SECURITY_ATTRIBUTES *sa, PSID sid, PACL acl, PSECURITY_DESCRIPTOR sd);
