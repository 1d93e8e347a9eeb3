// The dialog as the owner of an archive unpack: its cancel flag, its progress bar and its pump.
#include "ui/unpack_archive.h"
#include "ui/unpack_dialog.h"

namespace {

class DialogOwner : public IUnpackOwner {
 public:
  explicit DialogOwner(CUnpackDialog &dialog) : dialog_(dialog) {}
  bool IsCancelled() override { return dialog_.m_bCancelled == 1; }
  HWND ProgressBar() override { return dialog_.m_ctlProgress; }
  void PumpMessages() override { dialog_.PumpMessages(); }

 private:
  CUnpackDialog &dialog_;
};

}  // namespace

short CUnpackDialog::UnpackArchive(const char *archiveFolder, const char *outputFolder,
                                   const char *archiveName) {
  DialogOwner owner(*this);
  return UnpackArchiveWithProgress(owner, archiveFolder, outputFolder, archiveName);
}

// Keeps painting and the Cancel button alive between members. Every message, the quit message
// included, goes the way of the modal loop: PreTranslateMessage first (so Escape stays
// swallowed), then translation and dispatch. Ending the dialog is left to the modal loop,
// which looks at the request only once the running handler has returned.
void CUnpackDialog::PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  OnIdle(0);
  OnIdle(1);
}
