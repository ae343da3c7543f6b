#include "elf_dynamic.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace vsthost::validate {

namespace {

#if defined(__x86_64__)
constexpr int kMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int kMachine = EM_AARCH64;
#else
constexpr int kMachine = EM_NONE;
#endif

// Reads a record of type T at `offset`; false when the file is too short.
template <class T>
bool at(const std::string& file, std::uint64_t offset, T& out) {
    if (offset > file.size() || file.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, file.data() + offset, sizeof(T));
    return true;
}

std::string textAt(const std::string& file, std::uint64_t offset) {
    if (offset >= file.size()) return "";
    return std::string(file.data() + offset, ::strnlen(file.data() + offset, file.size() - offset));
}

// Symbols the static linker adds to every library: not the author's choice.
bool linkerMade(const std::string& name) {
    for (const char* made : {"_init", "_fini", "_edata", "_end", "__bss_start"})
        if (name == made) return true;
    return false;
}

}  // namespace

ElfDynamic readElfDynamic(const std::string& path) {
    ElfDynamic result;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.problem = "cannot be read";
        return result;
    }
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Elf64_Ehdr header;
    if (!at(file, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        result.problem = "is not an ELF file";
        return result;
    }
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB) {
        result.problem = "is not a 64-bit little-endian ELF file";
        return result;
    }
    result.forThisMachine = header.e_machine == kMachine;
    if (header.e_type != ET_DYN) {
        result.problem = "is not a shared library";
        return result;
    }
    if (header.e_shentsize != sizeof(Elf64_Shdr)) {
        result.problem = "has no section table this reader understands";
        return result;
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    for (std::size_t i = 0; i < sections.size(); ++i)
        if (!at(file, header.e_shoff + i * sizeof(Elf64_Shdr), sections[i])) {
            result.problem = "is cut short (its section table lies past its end)";
            return result;
        }
    for (const Elf64_Shdr& section : sections) {
        if (section.sh_link >= sections.size()) continue;
        const Elf64_Shdr& strings = sections[section.sh_link];
        if (section.sh_type == SHT_DYNSYM && section.sh_entsize == sizeof(Elf64_Sym)) {
            // Entry 0 is the undefined symbol every table begins with.
            for (std::uint64_t k = 1; k < section.sh_size / sizeof(Elf64_Sym); ++k) {
                Elf64_Sym symbol;
                if (!at(file, section.sh_offset + k * sizeof(Elf64_Sym), symbol)) break;
                const int binding = ELF64_ST_BIND(symbol.st_info);
                const int visibility = ELF64_ST_VISIBILITY(symbol.st_other);
                if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK) ||
                    (visibility != STV_DEFAULT && visibility != STV_PROTECTED))
                    continue;
                const std::string name = textAt(file, strings.sh_offset + symbol.st_name);
                if (!name.empty() && !linkerMade(name)) result.exports.push_back(name);
            }
        } else if (section.sh_type == SHT_DYNAMIC && section.sh_entsize == sizeof(Elf64_Dyn)) {
            for (std::uint64_t k = 0; k < section.sh_size / sizeof(Elf64_Dyn); ++k) {
                Elf64_Dyn entry;
                if (!at(file, section.sh_offset + k * sizeof(Elf64_Dyn), entry) || entry.d_tag == DT_NULL) break;
                if (entry.d_tag == DT_NEEDED)
                    result.needed.push_back(textAt(file, strings.sh_offset + entry.d_un.d_val));
            }
        }
    }
    return result;
}

}  // namespace vsthost::validate
