// What a shared library shows the dynamic linker, read from the file without
// loading it, so that none of the library's code runs: the symbols it
// exports and the libraries it names as needed.
#pragma once

#include <string>
#include <vector>

namespace vsthost::validate {

struct ElfDynamic {
    std::string problem;               // why the file could not be read as a library, or ""
    bool forThisMachine = false;       // the class and machine this program was built for
    std::vector<std::string> exports;  // defined global and weak symbols, in file order
    std::vector<std::string> needed;   // DT_NEEDED, in file order
};

ElfDynamic readElfDynamic(const std::string& path);

}  // namespace vsthost::validate
