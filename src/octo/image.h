#pragma once
// The 64 KB memory image being assembled: what was written where, by which
// statement, and the assembly address. Bytes below the program start are a
// scratch area that `@` reads and the ROM leaves out.

#include "octo/octo.h"

#include <cstdint>
#include <vector>

namespace kestrel::octo {

class Image {
  public:
    Image();

    std::uint32_t here() const { return here_; }
    void setHere(std::uint32_t address) { here_ = address; }

    // Writes at the assembly address and steps past it. Throws AsmError past
    // the address space, or on a second write to a program byte.
    void emit(std::uint8_t byte, SourceSpot where);
    void emitWord(std::uint16_t word, SourceSpot where);
    // Fills in an address field already emitted.
    void patch(std::uint32_t address, std::uint8_t orBits) { bytes_[address & 0xFFFF] |= orBits; }
    void setByte(std::uint32_t address, std::uint8_t byte) { bytes_[address & 0xFFFF] = byte; }
    void setSpot(std::uint32_t address, SourceSpot where) { spots_[address & 0xFFFF] = where; }
    std::uint8_t at(std::uint32_t address) const { return bytes_[address & 0xFFFF]; }

    // Undoes a write, for the entry jump that `: main` withdraws.
    void unwrite(std::uint32_t address);
    std::size_t writtenCount() const { return writtenCount_; }

    // From the program start to the highest byte written.
    std::vector<std::uint8_t> rom() const;
    std::vector<SourceSpot> spots() const;

  private:
    std::vector<std::uint8_t> bytes_;
    std::vector<SourceSpot> spots_;
    std::vector<bool> written_;
    std::uint32_t here_ = kProgramStart;
    std::uint32_t end_ = kProgramStart; // one past the highest program byte written
    std::size_t writtenCount_ = 0;
};

} // namespace kestrel::octo
