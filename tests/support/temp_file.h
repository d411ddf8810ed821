#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kestrel::testing {

// A real file in the temporary folder, removed when the test ends.
class TempFile {
  public:
    explicit TempFile(const std::vector<std::uint8_t>& bytes) : path_(uniquePath()) {
        std::ofstream out(path_, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::string& path() const { return path_; }

    // A name in the temporary folder that no file has.
    static std::string uniquePath() {
        static std::atomic<int> counter{0};
        return (std::filesystem::temp_directory_path() /
                ("kestrel-rom-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
                 ".ch8"))
            .string();
    }

  private:
    std::string path_;
};

} // namespace kestrel::testing
