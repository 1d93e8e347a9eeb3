#include "unpack_owner.h"

#include <commctrl.h>

namespace {

LRESULT CALLBACK OwnerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == TestUnpackOwner::kSetCancelMessage) {
    reinterpret_cast<TestUnpackOwner *>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))->cancelled = 1;
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

const char *OwnerClass() {
  static bool registered = false;
  if (!registered) {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = OwnerWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KxTestUnpackOwner";
    RegisterClassA(&wc);
    registered = true;
  }
  return "KxTestUnpackOwner";
}

}  // namespace

TestUnpackOwner::TestUnpackOwner() {
  window_ = CreateWindowExA(0, OwnerClass(), "owner", WS_POPUP, 0, 0, 300, 40, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 0, 300, 20, window_,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

TestUnpackOwner::~TestUnpackOwner() { DestroyWindow(window_); }

void TestUnpackOwner::PumpMessages() {
  ++pumps;
  positionsAtPump.push_back(Position());
  if (onPump) onPump(pumps);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

int TestUnpackOwner::RangeLow() const {
  return static_cast<int>(SendMessageA(bar_, PBM_GETRANGE, TRUE, 0));
}
int TestUnpackOwner::RangeHigh() const {
  return static_cast<int>(SendMessageA(bar_, PBM_GETRANGE, FALSE, 0));
}
int TestUnpackOwner::Position() const {
  return static_cast<int>(SendMessageA(bar_, PBM_GETPOS, 0, 0));
}
