// The one application object, and the end of the process.
#include "app/app.h"
#include "app/fatal_outcomes.h"

CInstallerApp::~CInstallerApp() {
  if (m_hRunningEvent) CloseHandle(m_hRunningEvent);
}

CInstallerApp &TheApp() {
  static CInstallerApp app;
  return app;
}

BOOL CInstallerApp::ParseCommandLine() { return kx::ParseOptions(m_lpCmdLine, &m_options); }

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

void EndRun(const kx::RunOutcome &outcome, const kx::SilentMode &silent) {
  UINT exitCode = 0;  // a cancel
  if (outcome.kind == kx::RunOutcome::Kind::kInstallerExited) exitCode = outcome.exitCode;
  if (outcome.kind == kx::RunOutcome::Kind::kFailed) {
    const FatalOutcome &fatal = FatalOutcomeOf(outcome.failure);
    if (fatal.text && !(fatal.silenceable && silent.showNoMessages))
      MessageBoxA(nullptr, fatal.text, "Installer", MB_OK | MB_ICONERROR);
    exitCode = fatal.exitCode;
  }
  ExitProcess(exitCode);
}
