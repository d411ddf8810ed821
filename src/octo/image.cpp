#include "octo/image.h"

#include "octo/error.h"

namespace kestrel::octo {

Image::Image() : bytes_(kAddressSpace), spots_(kAddressSpace), written_(kAddressSpace) {}

void Image::emit(std::uint8_t byte, SourceSpot where) {
    if (here_ >= kAddressSpace)
        throw AsmError{where, "the program does not fit: expected an address below 0x10000, "
                              "found " +
                                  hex(here_)};
    if (written_[here_]) {
        if (here_ >= kProgramStart) {
            const SourceSpot first = spots_[here_];
            throw AsmError{where, "address " + hex(here_) + " is written twice (first by line " +
                                      std::to_string(first.line) + ":" +
                                      std::to_string(first.column) + ")"};
        }
    } else {
        written_[here_] = true;
        ++writtenCount_;
    }
    bytes_[here_] = byte;
    spots_[here_] = where;
    ++here_;
    if (here_ > end_ && here_ > kProgramStart) end_ = here_;
}

void Image::emitWord(std::uint16_t word, SourceSpot where) {
    emit(static_cast<std::uint8_t>(word >> 8), where);
    emit(static_cast<std::uint8_t>(word & 0xFF), where);
}

void Image::unwrite(std::uint32_t address) {
    if (!written_[address]) return;
    written_[address] = false;
    --writtenCount_;
    bytes_[address] = 0;
    spots_[address] = {};
    while (end_ > kProgramStart && !written_[end_ - 1])
        --end_;
}

std::vector<std::uint8_t> Image::rom() const {
    return {bytes_.begin() + kProgramStart, bytes_.begin() + end_};
}

std::vector<SourceSpot> Image::spots() const {
    return {spots_.begin() + kProgramStart, spots_.begin() + end_};
}

} // namespace kestrel::octo
