// The security functions come from advapi32.dll at run time, as the guard's do.
#include "app/work_folder_security.h"

#include <cstdio>

// FA: full control. 0x1300a9: read, execute (traverse) and delete; no write of any kind.
const char kWorkFolderSddl[] = "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1300a9;;;%s)";

namespace {

typedef BOOL(WINAPI *OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *GetTokenInformationFn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI *ConvertSidToStringSidAFn)(PSID, LPSTR *);
typedef BOOL(WINAPI *ConvertStringSdToSdAFn)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR *, PULONG);

template <typename Fn>
Fn Lookup(HMODULE module, const char *name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

constexpr DWORD kSddlRevision1 = 1;  // SDDL_REVISION_1

// The SID of the token's user as text; null when it cannot be had. LocalFree the result.
char *UserSidText(HMODULE advapi) {
  auto openToken = Lookup<OpenProcessTokenFn>(advapi, "OpenProcessToken");
  auto tokenInfo = Lookup<GetTokenInformationFn>(advapi, "GetTokenInformation");
  auto sidToText = Lookup<ConvertSidToStringSidAFn>(advapi, "ConvertSidToStringSidA");
  if (!openToken || !tokenInfo || !sidToText) return nullptr;
  HANDLE token = nullptr;
  if (!openToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return nullptr;
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  DWORD used = 0;
  char *text = nullptr;
  if (!tokenInfo(token, TokenUser, &info, sizeof info, &used) ||
      !sidToText(info.user.User.Sid, &text)) {
    text = nullptr;
  }
  CloseHandle(token);
  return text;
}

}  // namespace

WorkFolderSecurity::WorkFolderSecurity() {
  HMODULE advapi = LoadLibraryA("advapi32.dll");
  if (!advapi) return;
  auto textToSd = Lookup<ConvertStringSdToSdAFn>(
      advapi, "ConvertStringSecurityDescriptorToSecurityDescriptorA");
  char *user = textToSd ? UserSidText(advapi) : nullptr;
  if (user) {
    char sddl[sizeof kWorkFolderSddl + SECURITY_MAX_SID_SIZE * 4];
    int n = std::snprintf(sddl, sizeof sddl, kWorkFolderSddl, user);
    if (n > 0 && static_cast<size_t>(n) < sizeof sddl &&
        !textToSd(sddl, kSddlRevision1, &descriptor_, nullptr)) {
      descriptor_ = nullptr;
    }
    LocalFree(user);
  }
  FreeLibrary(advapi);
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

WorkFolderSecurity::~WorkFolderSecurity() {
  if (descriptor_) LocalFree(descriptor_);
}
