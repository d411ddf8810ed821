// kestrel-run: runs a CHIP-8 ROM without a window for a number of frames and
// prints or writes what it left: the picture, the registers, a trace.
#include "run/machine_names.h"
#include "run/png.h"
#include "run/registers.h"
#include "run/runner.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace {

using namespace kestrel;

constexpr int kProgramStopped = 1;
constexpr int kUsageErrors = 2;

const char* const kUsage = "usage: kestrel-run [options] ROM\n";

void printHelp() {
    std::cout << kUsage
              << "\nRuns a CHIP-8, SUPER-CHIP or XO-CHIP ROM without a window, as fast as the\n"
                 "core runs, then shows what it left. It reads no settings and writes only\n"
                 "the files it is asked to.\n\n"
                 "  --machine NAME   the machine, one of:\n"
                 "                   "
              << run::MachineNameList()
              << "\n"
                 "                   (default: database, which chooses as the window's\n"
                 "                   \"From the ROM database\" does)\n"
                 "  --frames N       run N frames (default 60); on Kestrel's machine N ticks,\n"
                 "                   of "
              << run::PassesPerTick
              << " run-loop passes each\n"
                 "  --rate N         instructions a frame, as the window's Speed menu sets them\n"
                 "                   (standard machines; Kestrel's keeps its own pace)\n"
                 "  --keys SCRIPT    keys pressed and released: FRAME:KEY+ and FRAME:KEY-,\n"
                 "                   separated by commas, e.g. 10:5+,14:5-,20:A+; keys are\n"
                 "                   0-F on the standard machines, keypad numbers 1-16 on\n"
                 "                   Kestrel's; an event at frame F comes before frame F runs\n"
                 "  --screen FILE    write the final picture as text ('-': standard output):\n"
                 "                   '#' lit, '.' dark; on XO-CHIP a digit 0-3 a pixel\n"
                 "  --png FILE       write the final picture as a PNG, a pixel a CHIP-8 pixel\n"
                 "  --registers      print V0-VF, I, PC, SP, DT and ST, NAME=HEX a line\n"
                 "  --trace FILE     write a line an instruction run ('-': standard output):\n"
                 "                   frame, address, word, mnemonic\n"
                 "  --break ADDR     stop when PC reaches ADDR (hexadecimal) and print the\n"
                 "                   registers\n"
                 "  -h, --help       show this help and exit\n"
                 "      --version    show the version and exit\n\n"
                 "Exit status: 0 when the frames ran, a break was reached or the program\n"
                 "ended; 1 when the program faulted; 2 for a bad option, an unreadable file\n"
                 "or a ROM too long for the machine.\n";
}

int usageError(const std::string& message) {
    std::cerr << "kestrel-run: " << message << "\n" << kUsage;
    return kUsageErrors;
}

int failure(const std::string& message) {
    std::cerr << "kestrel-run: " << message << "\n";
    return kUsageErrors;
}

template <typename Number> std::optional<Number> parseNumber(const std::string& text, int base) {
    std::string_view digits = text;
    if (base == 16 && (digits.starts_with("0x") || digits.starts_with("0X")))
        digits.remove_prefix(2);
    Number value{};
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value, base);
    if (digits.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

bool writeFile(const std::string& path, const std::string& bytes) {
    if (path == "-") {
        std::cout << bytes << std::flush;
        return static_cast<bool>(std::cout);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out) return true;
    std::cerr << "kestrel-run: cannot write " << path << ": " << std::strerror(errno) << "\n";
    return false;
}

struct Options {
    std::string rom;
    std::string machine{run::DatabaseName};
    std::string keys;
    std::string screen;
    std::string png;
    std::string trace;
    bool registers = false;
    run::RunOptions run;
};

// The options, or the exit status when they end the program (help, version
// or an error already told).
std::variant<Options, int> parseOptions(int argc, char** argv) {
    Options options;
    for (int k = 1; k < argc; ++k) {
        std::string arg = argv[k];
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
            inlineValue = arg.substr(equals + 1);
            arg.resize(equals);
        }
        const auto value = [&](std::string& into) {
            if (inlineValue) {
                into = *inlineValue;
                return true;
            }
            if (k + 1 >= argc) return false;
            into = argv[++k];
            return true;
        };
        std::string text;
        if (arg == "-h" || arg == "--help") {
            printHelp();
            return 0;
        } else if (arg == "--version") {
            std::cout << "kestrel-run " << KESTREL_VERSION << "\n";
            return 0;
        } else if (arg == "--registers" && !inlineValue) {
            options.registers = true;
        } else if (arg == "--machine" || arg == "--keys" || arg == "--screen" || arg == "--png" ||
                   arg == "--trace") {
            std::string& into = arg == "--machine"  ? options.machine
                                : arg == "--keys"   ? options.keys
                                : arg == "--screen" ? options.screen
                                : arg == "--png"    ? options.png
                                                    : options.trace;
            if (!value(into) || (arg != "--keys" && into.empty()))
                return usageError("option " + arg + " needs a value");
        } else if (arg == "--frames") {
            if (!value(text)) return usageError("option --frames needs a number");
            const auto frames = parseNumber<std::uint64_t>(text, 10);
            if (!frames) return usageError("--frames: \"" + text + "\" is not a number of frames");
            options.run.frames = *frames;
        } else if (arg == "--rate") {
            if (!value(text)) return usageError("option --rate needs a number");
            const auto rate = parseNumber<int>(text, 10);
            if (!rate || *rate < 1)
                return usageError("--rate: \"" + text +
                                  "\" is not a number of instructions a frame (1 or more)");
            options.run.rate = *rate;
        } else if (arg == "--break") {
            if (!value(text)) return usageError("option --break needs an address");
            const auto address = parseNumber<std::uint32_t>(text, 16);
            if (!address)
                return usageError("--break: \"" + text + "\" is not a hexadecimal address");
            options.run.breakAt = *address;
        } else if (arg == "--" && !inlineValue) {
            if (k + 1 < argc && options.rom.empty()) options.rom = argv[++k];
            if (k + 1 < argc) return usageError("more than one ROM");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (!options.rom.empty()) {
            return usageError("more than one ROM");
        } else {
            options.rom = arg;
        }
    }
    if (options.rom.empty()) return usageError("no ROM");
    return options;
}

} // namespace

int main(int argc, char** argv) {
    std::variant<Options, int> parsed = parseOptions(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    Options& options = std::get<Options>(parsed);

    const std::optional<run::MachineChoice> choice = run::MachineByName(options.machine);
    if (!choice)
        return usageError("no machine is called \"" + options.machine + "\"; the machines are " +
                          run::MachineNameList());
    auto keys = run::ParseKeyScript(options.keys, run::Runner::EngineOf(*choice));
    if (const std::string* error = std::get_if<std::string>(&keys)) return usageError(*error);
    options.run.keys = std::get<std::vector<run::KeyEvent>>(std::move(keys));

    auto runner = std::make_unique<run::Runner>(); // a whole machine: too big for the stack
    if (!runner->open(options.rom, *choice)) return failure(runner->error());
    if (!runner->warning().empty())
        std::cerr << "kestrel-run: warning: " << runner->warning() << "\n";
    if (const std::optional<std::string> error = runner->prepare(options.run))
        return failure(*error);

    std::ofstream trace;
    std::ostream* traceOut = nullptr;
    if (!options.trace.empty()) {
        if (options.trace != "-") {
            trace.open(options.trace, std::ios::trunc);
            if (!trace)
                return failure("cannot write " + options.trace + ": " + std::strerror(errno));
        }
        traceOut = options.trace == "-" ? &std::cout : &trace;
        options.run.trace = [traceOut](const std::string& line) { *traceOut << line << '\n'; };
    }

    const run::RunResult result = runner->run(options.run);
    if (trace.is_open()) {
        trace.close();
        if (!trace) return failure("cannot write " + options.trace);
    }

    bool written = true;
    if (!options.screen.empty()) {
        std::string text;
        for (const std::string& row : run::PictureText(runner->picture()))
            text += row + '\n';
        written = writeFile(options.screen, text) && written;
    }
    if (!options.png.empty())
        written = writeFile(options.png, run::EncodePng(runner->picture())) && written;
    if (options.registers || result.end == run::RunEnd::Breakpoint)
        std::cout << run::RegisterLines(runner->state()) << std::flush;
    if (!written) return kUsageErrors;

    switch (result.end) {
    case run::RunEnd::Completed: return 0;
    case run::RunEnd::Breakpoint: {
        char address[16];
        std::snprintf(address, sizeof address, "%04X", runner->state().ProgramCounter);
        std::cerr << "kestrel-run: stopped at the break at " << address << " in frame "
                  << result.frames - 1 << "\n";
        return 0;
    }
    case run::RunEnd::Faulted:
        std::cerr << "kestrel-run: the program faulted in frame " << result.frames - 1 << ": "
                  << result.text << "\n";
        return kProgramStopped;
    }
    return 0;
}
