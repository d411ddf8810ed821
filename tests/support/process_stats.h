#pragma once

#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace kestrel::testing {

// This process's resident memory in kilobytes, from /proc; -1 if unreadable.
inline long ResidentKilobytes() {
    long size = 0;
    long resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
    std::fclose(f);
    return resident < 0 ? -1 : resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// The address of the caller's frame: how deep the native stack is here.
inline std::uintptr_t FrameAddress() {
    return reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0));
}

} // namespace kestrel::testing
