// Runs the progress dialog modally over the work folder.
#include "ui/run_dialog.h"

#include <windows.h>

#include <commctrl.h>

#include "ui/unpack_dialog.h"

kx::RunOutcome RunProgressDialog(const char *workDir, const kx::SilentMode &silent,
                                 const kx::InstallerOptions &options) {
  // The progress bar's window class must exist before the template is instantiated.
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  CUnpackDialog dialog(nullptr);
  dialog.SetFolders(workDir, workDir);
  dialog.SetSilent(silent);
  dialog.SetOptions(options);
  dialog.DoModal();
  return dialog.m_outcome;
}
