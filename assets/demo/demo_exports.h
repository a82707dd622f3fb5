// The exports of the demo product's two libraries. The product looks them up
// by name at run time, so a missing or damaged library shows up as a line in
// its window instead of a failed start.
#pragma once

// Each export returns a static GBK text owned by the library; it stays valid
// while the library is loaded.
using DemoTextFn = const char* (*)();

constexpr char kCoreVersionExport[] = "VantrelCoreVersion";  // VantrelCore.dll
constexpr char kResGreetingExport[] = "VantrelResGreeting";  // share\VantrelRes.dll
