#include "machine/machine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kestrel {

namespace {

// Closes the descriptor on every way out.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

const char* notRegularReason(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a folder, not a file";
    if (S_ISFIFO(mode)) return "it is a pipe, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    return "it is not a regular file";
}

} // namespace

// The whole file is read into a buffer before a byte is stored, so a refused
// file leaves Memory exactly as it was. POSIX calls rather than streams: the
// open must not block on a pipe, and the kind of file is checked on the very
// descriptor that is read, so nothing can be swapped in between.
std::optional<std::vector<std::uint8_t>> Machine::ReadRom(const std::string& path,
                                                          const MachineKind& holder) {
    const auto refuse = [&](const std::string& reason) {
        host_.reportLoadError(loadRefusal(path, reason));
        return std::nullopt;
    };
    if (path.empty()) return refuse("no file name was given");

    FileDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        if (errno == ENOENT) return refuse("the file does not exist");
        if (errno == EACCES) return refuse("permission to read it is denied");
        return refuse(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) return refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode)) return refuse(notRegularReason(info.st_mode));

    const auto tooLong = [&](long long size) { return refuse(tooLongReason(holder, size)); };
    if (info.st_size > static_cast<off_t>(holder.romLimit)) return tooLong(info.st_size);

    // One byte more than the machine holds, to see a file that grew since fstat.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(holder.romLimit) + 1);
    std::size_t length = 0;
    while (length < buffer.size()) {
        const ssize_t got = ::read(file.fd, buffer.data() + length, buffer.size() - length);
        if (got < 0) {
            if (errno == EINTR) continue;
            return refuse(std::strerror(errno));
        }
        if (got == 0) break;
        length += static_cast<std::size_t>(got);
    }
    if (length > holder.romLimit) return tooLong(static_cast<long long>(length));
    buffer.resize(length);
    return buffer;
}

bool Machine::LoadRom(const std::string& path) {
    std::optional<std::vector<std::uint8_t>> rom = ReadRom(path, kind_);
    if (!rom) return false;
    // Kept on every machine: choosing another machine loads it again.
    romCopy_ = std::move(*rom);
    romPath_ = path;
    running_->RomRead(romCopy_);
    return true;
}

std::string Machine::loadRefusal(const std::string& path, const std::string& reason) {
    return "Cannot open the ROM \"" + path + "\": " + reason + ".";
}

// A standard machine is named, and the platform the database lists the ROM
// for when it knows it; Kestrel's machine says it as it always has.
std::string Machine::tooLongReason(const MachineKind& kind, long long length,
                                   const std::string& writtenFor) {
    const std::string holder = kind.refusalHolder.empty() ? "a ROM for " + std::string(kind.name)
                                                          : std::string(kind.refusalHolder);
    std::string reason = "it is " + std::to_string(length) + " bytes long, and " + holder +
                         " may be at most " + std::to_string(kind.romLimit) + " bytes (addresses " +
                         std::to_string(kind.programStart) + ".." +
                         std::to_string(kind.programStart + kind.romLimit - 1) + ")";
    if (!writtenFor.empty()) reason += "; the ROM database lists it for " + writtenFor;
    return reason;
}

} // namespace kestrel
