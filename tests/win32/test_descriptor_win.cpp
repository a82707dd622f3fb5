// The program descriptor of the in-process Windows tests: no form data, no
// libraries, no DLL commands.
#include "frame/frame_api.h"

const ProgramDescriptor gProgramDescriptor = {
    3, nullptr, 0, nullptr, 0, nullptr, 0, 0, nullptr, 0, nullptr, nullptr,
};

int ProgramEntry() { return 0; }
