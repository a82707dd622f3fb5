// VantrelCorvane.exe: the demo product that the installer carries. It opens
// one window titled "VantrelCorvane" that says the product is installed and
// shows what it found of its other installed files: the two libraries (by
// calling their exports) and the settings file (the window size). It ends
// when the window is closed.
#include <windows.h>

#include <cstdio>

#include "assets/demo/demo_exports.h"

namespace {

const char kWindowClass[] = "VantrelCorvaneWindow";
const char kTitle[] = "VantrelCorvane";
constexpr int kDefaultWidth = 440;
constexpr int kDefaultHeight = 220;
constexpr int kMinSide = 200;   // a settings file with odd values still gives
constexpr int kMaxSide = 2000;  // a window the user can see and close
constexpr int kLineCount = 4;
constexpr int kLineHeight = 28;
constexpr int kMargin = 16;

char gLines[kLineCount][MAX_PATH + 64];
HFONT gFont = nullptr;

// The folder of this executable, with its final backslash. GBK-aware: the
// second byte of a double-byte character may be 0x5C and is not a separator.
void ProgramFolder(char* folder, size_t size) {
  DWORD n = GetModuleFileNameA(nullptr, folder, static_cast<DWORD>(size));
  if (n == 0 || n >= size) {
    folder[0] = '\0';
    return;
  }
  size_t cut = 0;
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(folder[i]);
    if (c >= 0x81 && i + 1 < n) {
      ++i;
    } else if (c == '\\') {
      cut = i + 1;
    }
  }
  folder[cut] = '\0';
}

int ClampSide(int side) { return side < kMinSide ? kMinSide : side > kMaxSide ? kMaxSide : side; }

// Loads folder + relativePath and calls its text export; the line says what
// came back or what was missing. The library stays loaded for the program's
// life, as the text it returned lives in it.
void DescribeLibrary(char* line, const char* folder, const char* relativePath,
                     const char* exportName) {
  char path[MAX_PATH + 32];
  std::snprintf(path, sizeof path, "%s%s", folder, relativePath);
  HMODULE module = LoadLibraryA(path);
  if (module == nullptr) {
    std::snprintf(line, MAX_PATH + 64, "%s：未找到", relativePath);
    return;
  }
  auto fn = reinterpret_cast<DemoTextFn>(
      reinterpret_cast<void*>(GetProcAddress(module, exportName)));
  std::snprintf(line, MAX_PATH + 64, "%s：%s", relativePath, fn ? fn() : "缺少导出函数");
}

LRESULT CALLBACK CorvaneWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HGDIOBJ oldFont = SelectObject(dc, gFont ? gFont : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      for (int i = 0; i < kLineCount; ++i) {
        TextOutA(dc, kMargin, kMargin + i * kLineHeight, gLines[i], lstrlenA(gLines[i]));
      }
      SelectObject(dc, oldFont);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  char folder[MAX_PATH];
  ProgramFolder(folder, sizeof folder);

  char iniPath[MAX_PATH + 32];
  std::snprintf(iniPath, sizeof iniPath, "%sshare\\设置.ini", folder);
  const int width = ClampSide(GetPrivateProfileIntA("Window", "Width", kDefaultWidth, iniPath));
  const int height = ClampSide(GetPrivateProfileIntA("Window", "Height", kDefaultHeight, iniPath));

  std::snprintf(gLines[0], sizeof gLines[0], "%s 已安装", kTitle);
  DescribeLibrary(gLines[1], folder, "VantrelCore.dll", kCoreVersionExport);
  DescribeLibrary(gLines[2], folder, "share\\VantrelRes.dll", kResGreetingExport);
  std::snprintf(gLines[3], sizeof gLines[3], "share\\设置.ini：窗口 %d × %d", width, height);

  gFont = CreateFontA(-18, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_DONTCARE, "宋体");

  WNDCLASSA wc = {};
  wc.lpfnWndProc = CorvaneWindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kWindowClass;
  if (!RegisterClassA(&wc)) return 1;

  HWND hwnd = CreateWindowExA(0, kWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, width, height, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 1;
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);

  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (gFont) DeleteObject(gFont);
  return static_cast<int>(msg.wParam);
}
