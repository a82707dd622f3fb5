// VantrelUpdate.exe: the demo product's updater. The demo has nothing to
// fetch, so it only tells the user that the product is up to date.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxA(nullptr, "VantrelCorvane 已是最新版本。", "VantrelUpdate",
              MB_OK | MB_ICONINFORMATION);
  return 0;
}
