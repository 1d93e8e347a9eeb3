// Single-instance guard. The security functions come from advapi32.dll at run time; when any
// step fails the guard is simply not taken.
#include "app/guard.h"

#include "app/app.h"

const char kRunningEventName[] = "Global\\Kxunpack_running";

namespace {

typedef BOOL(WINAPI *AllocateAndInitializeSidFn)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD,
                                                 DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, PSID *);
typedef DWORD(WINAPI *SetEntriesInAclWFn)(ULONG, PEXPLICIT_ACCESS_W, PACL, PACL *);
typedef BOOL(WINAPI *InitializeSecurityDescriptorFn)(PSECURITY_DESCRIPTOR, DWORD);
typedef BOOL(WINAPI *SetSecurityDescriptorDaclFn)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
typedef PVOID(WINAPI *FreeSidFn)(PSID);

// Process-wide while a descriptor exists.
HMODULE g_advapi = nullptr;
FreeSidFn g_freeSid = nullptr;

template <typename Fn>
Fn Lookup(const char *name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(g_advapi, name)));
}

void UnloadAdvapi() {
  if (g_advapi) FreeLibrary(g_advapi);
  g_advapi = nullptr;
  g_freeSid = nullptr;
}

}  // namespace

BOOL BuildEventSecurity(SECURITY_ATTRIBUTES *sa, PSID *sid, PACL *acl, PSECURITY_DESCRIPTOR *sd,
                        DWORD accessMask) {
  if (!sa || !sid || !acl || !sd) return FALSE;
  ZeroMemory(sa, sizeof(*sa));
  *sid = nullptr;
  *acl = nullptr;
  *sd = nullptr;

  g_advapi = LoadLibraryA("advapi32.dll");
  if (!g_advapi) return FALSE;
  auto allocateSid = Lookup<AllocateAndInitializeSidFn>("AllocateAndInitializeSid");
  auto setEntries = Lookup<SetEntriesInAclWFn>("SetEntriesInAclW");
  auto initDescriptor = Lookup<InitializeSecurityDescriptorFn>("InitializeSecurityDescriptor");
  auto setDacl = Lookup<SetSecurityDescriptorDaclFn>("SetSecurityDescriptorDacl");
  g_freeSid = Lookup<FreeSidFn>("FreeSid");
  if (!allocateSid || !setEntries || !initDescriptor || !setDacl || !g_freeSid) {
    UnloadAdvapi();
    return FALSE;
  }

  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  if (!allocateSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, sid)) {
    *sid = nullptr;
    UnloadAdvapi();
    return FALSE;
  }

  EXPLICIT_ACCESS_W entry;
  ZeroMemory(&entry, sizeof(entry));
  entry.grfAccessPermissions = accessMask;
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
  entry.Trustee.MultipleTrusteeOperation = NO_MULTIPLE_TRUSTEE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  entry.Trustee.ptstrName = reinterpret_cast<LPWSTR>(*sid);
  if (setEntries(1, &entry, nullptr, acl) != ERROR_SUCCESS) {
    *acl = nullptr;
    g_freeSid(*sid);
    *sid = nullptr;
    UnloadAdvapi();
    return FALSE;
  }

  *sd = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  if (!*sd) {
    LocalFree(*acl);
    *acl = nullptr;
    g_freeSid(*sid);
    *sid = nullptr;
    UnloadAdvapi();
    return FALSE;
  }
  if (!initDescriptor(*sd, SECURITY_DESCRIPTOR_REVISION) || !setDacl(*sd, TRUE, *acl, FALSE)) {
    LocalFree(*sd);
    *sd = nullptr;
    LocalFree(*acl);
    *acl = nullptr;
    g_freeSid(*sid);
    *sid = nullptr;
    UnloadAdvapi();
    return FALSE;
  }

  sa->nLength = sizeof(SECURITY_ATTRIBUTES);
  sa->lpSecurityDescriptor = *sd;
  sa->bInheritHandle = FALSE;
  return TRUE;
}

BOOL FreeEventSecurity(SECURITY_ATTRIBUTES *sa, PSID sid, PACL acl, PSECURITY_DESCRIPTOR sd) {
  if (!sa) return FALSE;
  if (sid && g_freeSid) g_freeSid(sid);
  if (acl) LocalFree(acl);
  if (sd) LocalFree(sd);
  UnloadAdvapi();
  return TRUE;
}

BOOL CreateRunningEvent(HANDLE *handleOut, DWORD *errorOut) {
  if (!handleOut || !errorOut) return FALSE;
  SECURITY_ATTRIBUTES sa;
  PSID sid;
  PACL acl;
  PSECURITY_DESCRIPTOR sd;
  if (!BuildEventSecurity(&sa, &sid, &acl, &sd, EVENT_ALL_ACCESS)) return FALSE;
  HANDLE event = CreateEventA(&sa, TRUE, FALSE, kRunningEventName);
  if (!event) {
    FreeEventSecurity(&sa, sid, acl, sd);
    return FALSE;
  }
  *errorOut = GetLastError();
  FreeEventSecurity(&sa, sid, acl, sd);
  *handleOut = event;
  return TRUE;
}

BOOL CInstallerApp::IsAlreadyRunning() {
  DWORD error = 0;
  return CreateRunningEvent(&m_hRunningEvent, &error) && error == ERROR_ALREADY_EXISTS;
}
