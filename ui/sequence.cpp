// The work of the progress dialog, started by the first tick of its timer.
#include "ui/unpack_dialog.h"

void CUnpackDialog::OnTimer(UINT_PTR timerId) {
  if (timerId != kSequenceTimerId) return;  // the dialog procedure leaves it to the default
  // One tick only: the work below runs once, inside this message.
  KillTimer(m_hWnd, kSequenceTimerId);
  UnpackArchive(m_szArchiveFolder, m_szOutputFolder, "KXDATA.ARJ");
  EndDialog(1);
}
