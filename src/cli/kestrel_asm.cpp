// kestrel-asm: assembles an Octo source into a CHIP-8 ROM.
#include "octo/octo.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

constexpr int kSourceErrors = 1;
constexpr int kUsageErrors = 2;

const char* const kUsage = "usage: kestrel-asm SOURCE.8o [-o ROM.ch8] [--symbols FILE]\n";

void printHelp() {
    std::cout << kUsage
              << "\nAssembles an Octo program (CHIP-8, SUPER-CHIP or XO-CHIP) into a ROM image\n"
                 "that starts at address 0x200.\n\n"
                 "  -o, --output FILE   write the ROM to FILE (default: SOURCE with .ch8)\n"
                 "      --symbols FILE  write each label as 'NAME 0xADDR', by address\n"
                 "  -h, --help          show this help and exit\n"
                 "      --version       show the version and exit\n\n"
                 "Exit status: 0 on success, 1 if the source has errors, 2 for a bad option\n"
                 "or a file that cannot be read or written.\n";
}

int usageError(const std::string& message) {
    std::cerr << "kestrel-asm: " << message << "\n" << kUsage;
    return kUsageErrors;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out) return true;
    std::cerr << "kestrel-asm: cannot write " << path << ": " << std::strerror(errno) << "\n";
    return false;
}

} // namespace

int main(int argc, char** argv) {
    std::string source, output, symbols;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        const auto value = [&](std::string& into) {
            if (k + 1 >= argc) return false;
            into = argv[++k];
            return true;
        };
        if (arg == "-h" || arg == "--help") {
            printHelp();
            return 0;
        } else if (arg == "--version") {
            std::cout << "kestrel-asm " << KESTREL_VERSION << "\n";
            return 0;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(output)) return usageError("option " + arg + " needs a file name");
        } else if (arg.starts_with("--output=")) {
            output = arg.substr(9);
        } else if (arg == "--symbols") {
            if (!value(symbols)) return usageError("option --symbols needs a file name");
        } else if (arg.starts_with("--symbols=")) {
            symbols = arg.substr(10);
        } else if (arg == "--") {
            if (k + 1 < argc && source.empty()) source = argv[++k];
            if (k + 1 < argc) return usageError("more than one source file");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (!source.empty()) {
            return usageError("more than one source file");
        } else {
            source = arg;
        }
    }
    if (source.empty()) return usageError("no source file");
    if (output.empty()) output = std::filesystem::path(source).replace_extension(".ch8").string();
    if (output == source) return usageError("the ROM would overwrite the source " + source);

    std::error_code ignored;
    std::ifstream in(source, std::ios::binary);
    if (std::filesystem::is_directory(source, ignored) || !in.is_open()) {
        std::cerr << "kestrel-asm: cannot read " << source << ": "
                  << std::strerror(std::filesystem::is_directory(source, ignored) ? EISDIR : errno)
                  << "\n";
        return kUsageErrors;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        std::cerr << "kestrel-asm: cannot read " << source << "\n";
        return kUsageErrors;
    }

    const kestrel::octo::Assembly result = kestrel::octo::assemble(text.str(), source);
    if (result.error) {
        std::cerr << result.error->text() << "\n";
        return kSourceErrors;
    }
    const kestrel::octo::Program& program = *result.program;
    if (!writeFile(output, std::string(program.rom.begin(), program.rom.end())))
        return kUsageErrors;
    if (!symbols.empty()) {
        std::string listing;
        for (const kestrel::octo::Label& label : program.labels) {
            char address[16];
            std::snprintf(address, sizeof address, "0x%04X", label.address);
            listing += label.name + " " + address + "\n";
        }
        if (!writeFile(symbols, listing)) return kUsageErrors;
    }
    return 0;
}
