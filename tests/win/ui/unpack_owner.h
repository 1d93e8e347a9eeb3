// A test owner for the archive unpack: a real progress bar in a hidden window, a cancel flag
// that a posted message can set, and a pump that counts its calls.
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "ui/unpack_archive.h"

class TestUnpackOwner : public IUnpackOwner {
 public:
  // Posting this to window() sets the cancel flag when the message is dispatched.
  static constexpr UINT kSetCancelMessage = WM_APP + 1;

  TestUnpackOwner();
  ~TestUnpackOwner();

  bool IsCancelled() override { return cancelled == 1; }
  HWND ProgressBar() override { return bar_; }
  void PumpMessages() override;

  HWND window() const { return window_; }
  int RangeLow() const;
  int RangeHigh() const;
  int Position() const;

  int cancelled = 0;
  int pumps = 0;
  // Bar position seen at the start of each pump.
  std::vector<int> positionsAtPump;
  // Runs at the start of each pump with its 1-based number, before the queue is emptied.
  std::function<void(int)> onPump;

 private:
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
};
