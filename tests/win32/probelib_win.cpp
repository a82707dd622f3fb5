// A library that exists only in a test's program folder.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI ProbeMarker() { return 42; }
