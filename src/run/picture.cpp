#include "run/picture.h"

namespace kestrel::run {

std::vector<std::string> PictureText(const PictureView& picture) {
    std::vector<std::string> rows;
    for (int y = 0; y < picture.rows; ++y) {
        std::string row;
        for (int x = 0; x < picture.columns; ++x) {
            const std::uint8_t bits = picture.at(x, y);
            row += picture.planes > 1 ? static_cast<char>('0' + bits) : bits != 0 ? '#' : '.';
        }
        rows.push_back(row);
    }
    return rows;
}

} // namespace kestrel::run
