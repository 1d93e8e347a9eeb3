// A thin modal-dialog layer over plain Win32: creation from a template, a modal loop that
// offers every message to PreTranslateMessage first, EndDialog that takes effect once the
// current handler has returned, and idle processing. Kept separate from the dialogs built on it.
#pragma once
#include <windows.h>

class CModalDialog {
 public:
  CModalDialog(UINT templateId, HWND parent);
  virtual ~CModalDialog();

  // Creates the window from the template and runs the modal loop until EndDialog.
  INT_PTR DoModal();
  // Asks the modal loop to end with the result once the current handler has returned.
  void EndDialog(INT_PTR result);

  virtual BOOL PreTranslateMessage(MSG *msg);
  virtual BOOL OnIdle(LONG count);

  HWND m_hWnd = nullptr;

 protected:
  virtual BOOL OnInitDialog();
  virtual void OnCancel();
  // One handler per message; set handled to keep the default processing away.
  virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam, bool &handled);

  UINT m_templateId;
  HWND m_hParent;
  bool m_endRequested = false;
  INT_PTR m_result = 0;
};
