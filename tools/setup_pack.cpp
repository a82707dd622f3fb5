// setup-pack for Linux: see tools/setup_pack_cli.h.
#include <string>
#include <vector>

#include "tools/setup_pack_cli.h"

int main(int argc, char** argv) { return RunSetupPack(std::vector<std::string>(argv + 1, argv + argc)); }
