// The one application object and the process exit code.
#include "app/app.h"
#include "base/text.h"

DWORD g_dwProcessExitCode = 0;

CInstallerApp::CInstallerApp() { m_szProductPath[0] = m_szParam[0] = m_szFirewall[0] = '\0'; }

CInstallerApp::~CInstallerApp() {
  if (m_hRunningEvent) CloseHandle(m_hRunningEvent);
}

CInstallerApp &TheApp() {
  static CInstallerApp app;
  return app;
}

BOOL CInstallerApp::ParseCommandLine() {
  kx::InstallerOptions opts;
  bool parsed = kx::ParseOptions(m_lpCmdLine, &opts);
  kx::CopyText(m_szProductPath, opts.productPath);
  kx::CopyText(m_szParam, opts.param);
  kx::CopyText(m_szFirewall, opts.firewall);
  return parsed;
}

const char *SkipProgramPath(const char *line) {
  if (!line) return "";
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line == '"') ++line;
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

void FailWithMessage(const char *text, UINT exitCode, bool quiet) {
  if (text && !quiet) MessageBoxA(nullptr, text, "Installer", MB_OK | MB_ICONERROR);
  ExitProcess(exitCode);
}

void FailWithMessage(const kx::Failure &failure, bool quiet) {
  FailWithMessage(failure.text, failure.exitCode, quiet);
}
