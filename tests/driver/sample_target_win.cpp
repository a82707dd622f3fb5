// sample_target.exe: a tiny GUI program that the driver's own tests drive.
// Its first argument picks what it does:
//   window  (or none)  a top-level window "驱动测试" of class
//                      "DriverSampleWindow" with a button (id 101, "按钮")
//                      and a status label (id 102, "就绪"). The label
//                      reports what reached the window: "点击 x,y" for a
//                      left click on the window itself at client (x, y),
//                      "按钮已按下" for a click on the button, "按键 n" for
//                      a key press of virtual key n. Closing the window ends
//                      the program with exit code 3.
//   error              the message box "错误" / "运行时出错!\r\n\r\n测试"
//                      with an error icon and OK; exit code -1 afterwards.
//   yesno              the Yes/No box "温馨提示：" / "是否继续？"; exit code
//                      5 after Yes, 6 after No.
// The boxes use the flags of the product's own message boxes (no owner,
// task-modal).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kButtonId = 101;
constexpr int kStatusId = 102;
constexpr int kWindowExitCode = 3;
const char kWindowClass[] = "DriverSampleWindow";

HWND gStatus = nullptr;

void SetStatus(const char* text) { SetWindowTextA(gStatus, text); }

LRESULT CALLBACK SampleWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
  char text[64];
  switch (message) {
    case WM_CREATE: {
      HINSTANCE instance = reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance;
      CreateWindowExA(0, "BUTTON", "按钮", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                      10, 10, 100, 30, hwnd,
                      reinterpret_cast<HMENU>(kButtonId), instance, nullptr);
      gStatus = CreateWindowExA(0, "STATIC", "就绪", WS_CHILD | WS_VISIBLE, 10,
                                50, 280, 20, hwnd,
                                reinterpret_cast<HMENU>(kStatusId), instance,
                                nullptr);
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED)
        SetStatus("按钮已按下");
      return 0;
    case WM_LBUTTONUP:
      std::snprintf(text, sizeof text, "点击 %d,%d",
                    static_cast<short>(LOWORD(lParam)),
                    static_cast<short>(HIWORD(lParam)));
      SetStatus(text);
      return 0;
    case WM_KEYDOWN:
      std::snprintf(text, sizeof text, "按键 %u",
                    static_cast<unsigned>(wParam));
      SetStatus(text);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(kWindowExitCode);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

int RunWindow(HINSTANCE instance) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = SampleWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassA(&windowClass)) return 1;
  HWND hwnd = CreateWindowExA(0, kWindowClass, "驱动测试", WS_OVERLAPPEDWINDOW,
                              100, 100, 320, 240, nullptr, nullptr, instance,
                              nullptr);
  if (hwnd == nullptr) return 1;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  const char* mode = __argc > 1 ? __argv[1] : "window";
  if (std::strcmp(mode, "error") == 0) {
    MessageBoxA(nullptr, "运行时出错!\r\n\r\n测试", "错误",
                MB_ICONERROR | MB_TASKMODAL);
    return -1;
  }
  if (std::strcmp(mode, "yesno") == 0) {
    int answer = MessageBoxA(nullptr, "是否继续？", "温馨提示：",
                             MB_YESNO | MB_ICONINFORMATION | MB_TASKMODAL);
    return answer == IDYES ? 5 : answer == IDNO ? 6 : 0;
  }
  if (std::strcmp(mode, "window") == 0) return RunWindow(instance);
  return 2;
}
