// VantrelRes.dll: the demo product's resource library, installed inside the
// "share" folder.
#include "assets/demo/demo_exports.h"

extern "C" __declspec(dllexport) const char* VantrelResGreeting() { return "欢迎使用 VantrelCorvane"; }
