// Runs the progress dialog modally over the work folder.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "ui/unpack_dialog.h"

const kx::Failure *RunProgressDialog(const char *workDir, int silent) {
  // The progress bar's window class must exist before the template is instantiated.
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  CUnpackDialog dialog(nullptr);
  dialog.SetFolders(workDir, workDir);
  dialog.SetSilent(silent);
  dialog.DoModal();
  return dialog.m_pFailure;
}
