// VantrelCore.dll: the demo product's core library, installed beside the
// product executable.
#include "assets/demo/demo_exports.h"

extern "C" __declspec(dllexport) const char* VantrelCoreVersion() { return "核心库 1.0.0"; }
