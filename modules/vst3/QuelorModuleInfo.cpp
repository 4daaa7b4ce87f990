// Writes the bundle's moduleinfo.json from the effect's own tables and the project's
// version, at build time:
//     quelor-vst3-moduleinfo PATH
#include "ModuleInfoVST3.h"
#include "QuelorVST3.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quelor-vst3-moduleinfo PATH\n");
        return 2;
    }
    return WriteModuleInfo(QuelorVST3Product(), argv[1]) ? 0 : 1;
}
