// Files that a user can pick in the Open ROM dialog and that are no ROM: each
// must be refused quickly, with a message that names the file, and leave
// Memory byte for byte as it was, with no reset after it.

#include "machine/machine.h"
#include "support/fake_host.h"
#include "support/process_stats.h"
#include "support/rom_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using kestrel::Machine;
using kestrel::MachineState;
using kestrel::testing::FakeHost;
using kestrel::testing::RomRunner;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto HangLimit = std::chrono::seconds(5);
constexpr uid_t NobodyId = 65534;

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

class HostileFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kestrel-hostile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // A pattern in every cell, so that a partial or shifted write shows.
        for (std::size_t i = 0; i < machine_->State.Memory.size(); ++i)
            machine_->State.Memory[i] = static_cast<std::uint8_t>(i * 7 + 3);
        machine_->State.ProgramCounter = 1234;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, ignored);
        fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return (fs::path(dir_) / name).string(); }

    static void WriteFile(const std::string& file, std::size_t size, std::uint8_t byte = 0xA5) {
        std::ofstream out(file, std::ios::binary);
        const std::string bytes(size, static_cast<char>(byte));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // What opening a file did to the machine, as the checks need it.
    struct Outcome {
        std::vector<std::string> loadErrors;
        bool memoryKept = false;
        bool programCounterKept = false;
        bool generationKept = false;
        int runRequests = 0;
    };
    // An outcome as text, to cross from a child process: "outcome", the
    // three flags, the run requests, then each message with its length.
    static std::string Encode(const Outcome& o) {
        std::ostringstream out;
        out << "outcome " << o.memoryKept << o.programCounterKept << o.generationKept << ' '
            << o.runRequests << ' ' << o.loadErrors.size();
        for (const std::string& message : o.loadErrors)
            out << ' ' << message.size() << ':' << message;
        return out.str();
    }
    static bool Decode(const std::string& text, Outcome& o) {
        std::istringstream in(text);
        std::string word, flags;
        std::size_t count = 0;
        if (!(in >> word >> flags >> o.runRequests >> count) || word != "outcome" ||
            flags.size() != 3)
            return false;
        o.memoryKept = flags[0] == '1';
        o.programCounterKept = flags[1] == '1';
        o.generationKept = flags[2] == '1';
        for (std::size_t k = 0; k < count; ++k) {
            std::size_t size = 0;
            char colon = 0;
            if (!(in >> size >> colon) || colon != ':') return false;
            std::string message(size, '\0');
            if (!in.read(message.data(), static_cast<std::streamsize>(size))) return false;
            o.loadErrors.push_back(message);
        }
        return true;
    }

    // Opens the file through the menu command, the way the dialog hands it
    // over, on a thread of its own so that a load that blocks fails the test
    // instead of hanging it.
    Outcome Open(const std::string& file) {
        const MachineState before = machine_->State;
        const auto generation = machine_->RunGeneration();
        auto machine = machine_;
        const auto start = Clock::now();
        auto done = std::async(std::launch::async, [machine, file] { machine->OpenRom(file); });
        if (done.wait_for(HangLimit) != std::future_status::ready) {
            std::fprintf(stderr, "Opening %s did not return within %lld s\n", file.c_str(),
                         static_cast<long long>(HangLimit.count()));
            std::_Exit(1); // the blocked thread cannot be taken back
        }
        done.get();
        elapsed_ = Clock::now() - start;
        return {host_->loadErrors, machine_->State.Memory == before.Memory,
                machine_->State.ProgramCounter == before.ProgramCounter,
                machine_->RunGeneration() == generation, host_->runRequests};
    }

    static void ExpectRefusal(const Outcome& outcome, const std::string& file,
                              const std::vector<std::string>& reasonWords) {
        ASSERT_EQ(outcome.loadErrors.size(), 1u) << file;
        const std::string& message = outcome.loadErrors.front();
        EXPECT_NE(message.find(file), std::string::npos)
            << "the message names the file: " << message;
        const std::string lower = Lower(message);
        EXPECT_TRUE(
            std::any_of(reasonWords.begin(), reasonWords.end(),
                        [&](const std::string& w) { return lower.find(w) != std::string::npos; }))
            << "the message gives the reason: " << message;
        EXPECT_TRUE(outcome.memoryKept) << "a refused file changed memory";
        EXPECT_TRUE(outcome.programCounterKept) << "a refused file reset the machine";
        EXPECT_TRUE(outcome.generationKept) << "a refused file started a new run";
        EXPECT_EQ(outcome.runRequests, 0);
    }

    void OpenAndExpectRefusal(const std::string& file,
                              const std::vector<std::string>& reasonWords) {
        ExpectRefusal(Open(file), file, reasonWords);
    }

    std::shared_ptr<FakeHost> host_ = std::make_shared<FakeHost>();
    std::shared_ptr<Machine> machine_{new Machine(*host_),
                                      [host = host_](Machine* m) { delete m; }};
    std::string dir_;
    Clock::duration elapsed_{};
};

TEST_F(HostileFiles, OneByteTooLongIsRefusedWithItsSizeAndTheLimit) {
    const std::string file = path("long.ch8");
    WriteFile(file, 7682);
    OpenAndExpectRefusal(file, {"7682"});
    EXPECT_NE(host_->loadErrors.front().find("7681"), std::string::npos)
        << host_->loadErrors.front();
}

TEST_F(HostileFiles, ATenGigabyteSparseFileIsNeitherReadNorStored) {
    const std::string file = path("huge.ch8");
    const long long tenGigabytes = 10'000'000'000LL;
    { std::ofstream create(file, std::ios::binary); }
    ASSERT_EQ(::truncate(file.c_str(), tenGigabytes), 0);
    const long residentBefore = kestrel::testing::ResidentKilobytes();
    OpenAndExpectRefusal(file, {"10000000000"});
    const long residentAfter = kestrel::testing::ResidentKilobytes();
    // Reading even a tenth of it would take seconds and hundreds of megabytes.
    EXPECT_LT(elapsed_, std::chrono::milliseconds(500));
    EXPECT_LT(residentAfter - residentBefore, 4L << 10)
        << "resident kB before " << residentBefore << ", after " << residentAfter;
    EXPECT_NE(host_->loadErrors.front().find("7681"), std::string::npos)
        << host_->loadErrors.front();
}

TEST_F(HostileFiles, AFolderIsRefused) {
    const std::string folder = path("a folder.ch8");
    fs::create_directory(folder);
    OpenAndExpectRefusal(folder, {"folder", "directory"});
}

TEST_F(HostileFiles, AFileWithoutReadPermissionIsRefused) {
    const std::string file = path("locked.ch8");
    WriteFile(file, 4);
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    const int probe = ::open(file.c_str(), O_RDONLY);
    if (probe < 0) return OpenAndExpectRefusal(file, {"permission", "denied"});
    // Root reads a file whatever its mode says: the open is made in a child
    // that has given up root for the unprivileged user nobody, and the
    // child's outcome comes back through a pipe to be checked here.
    ::close(probe);
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0) << "nobody must reach the file itself";
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        std::string report;
        if (::setgid(NobodyId) != 0 || ::setuid(NobodyId) != 0) {
            report = "cannot become nobody";
        } else if (const int again = ::open(file.c_str(), O_RDONLY); again >= 0) {
            report = "nobody reads a file of mode 000";
        } else {
            report = Encode(Open(file));
        }
        const bool written = ::write(channel[1], report.data(), report.size()) ==
                             static_cast<ssize_t>(report.size());
        std::_Exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    std::string report;
    char chunk[512];
    for (ssize_t n; (n = ::read(channel[0], chunk, sizeof chunk)) > 0;)
        report.append(chunk, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child ended with status " << status;
    Outcome outcome;
    ASSERT_TRUE(Decode(report, outcome)) << report;
    ExpectRefusal(outcome, file, {"permission", "denied"});
}

TEST_F(HostileFiles, AFileThatVanishedAfterTheDialogIsRefused) {
    const std::string file = path("gone.ch8");
    WriteFile(file, 100);
    // The dialog returned the name; the file goes before the load opens it.
    ASSERT_TRUE(fs::remove(file));
    OpenAndExpectRefusal(file, {"exist", "no such", "not found"});
}

TEST_F(HostileFiles, AFifoIsRefusedWithoutWaitingForAWriter) {
    const std::string fifo = path("pipe.ch8");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    OpenAndExpectRefusal(fifo, {"pipe", "fifo", "not a regular file"});
    EXPECT_LT(elapsed_, std::chrono::milliseconds(500));
}

TEST_F(HostileFiles, DevZeroIsRefusedWithoutReadingForEver) {
    OpenAndExpectRefusal("/dev/zero", {"device", "not a regular file"});
    EXPECT_LT(elapsed_, std::chrono::milliseconds(500));
}

TEST_F(HostileFiles, ARefusedFileServedInsideARunLeavesThatProgramRunning) {
    // 7101 counts passes in V1 for as long as the run goes on.
    RomRunner r;
    r.load({0x7101, 0x1200});
    const std::string folder = path("folder");
    fs::create_directory(folder);
    std::uint8_t countAtOpen = 0;
    r.host.at(5'000, [&] {
        countAtOpen = r.state().V[1];
        r.machine.OpenRom(folder);
    });
    r.resetAndRun(20'000);
    ASSERT_EQ(r.host.loadErrors.size(), 1u);
    EXPECT_TRUE(r.host.faults.empty());
    EXPECT_GT(countAtOpen, 0);
    // Nearly two hundred passes in all; half of them ran after the refusal.
    EXPECT_GT(r.state().V[1], countAtOpen + 50);
}

TEST(HostileFileNames, ARomWithSpacesAndNonAsciiInItsNameLoadsAndRuns) {
    std::string pattern = (fs::temp_directory_path() / "kestrel-names-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    // "Space Game – Ünïcode 鳥.ch8", in UTF-8.
    const std::string file = (fs::path(pattern) / "Space Game \xE2\x80\x93 \xC3\x9Cn\xC3\xAF"
                                                  "code \xE9\xB3\xA5.ch8")
                                 .string();
    {
        // Digit 0 at (10, 5), then a loop on itself.
        const unsigned char rom[] = {0x6A, 0x0A, 0x6B, 0x05, 0x60, 0x00,
                                     0xF0, 0x29, 0xDA, 0xB5, 0x12, 0x0A};
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(rom), sizeof rom);
    }
    RomRunner r;
    r.host.at(r.host.yields + 3'000, [&] { r.machine.EndAllRuns(); });
    r.machine.OpenRom(file);
    r.machine.RunDriver();
    EXPECT_TRUE(r.host.loadErrors.empty()) << r.host.loadErrors.front();
    EXPECT_TRUE(r.host.faults.empty());
    EXPECT_EQ(r.state().Memory[512], 0x6A);
    EXPECT_EQ(r.state().Memory[523], 0x0A);
    // The digit's top row 60: pixels 11 and 12 lit, 10 and 13 dark.
    EXPECT_FALSE(r.lit(10, 5));
    EXPECT_TRUE(r.lit(11, 5));
    EXPECT_TRUE(r.lit(12, 5));
    EXPECT_FALSE(r.lit(13, 5));
    EXPECT_TRUE(r.lit(10, 6)); // row 90
    EXPECT_EQ(r.state().ProgramCounter, 522u);
    std::error_code ignored;
    fs::remove_all(pattern, ignored);
}

} // namespace
