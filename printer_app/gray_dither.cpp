#include "printer_app/gray_dither.h"

#include <array>
#include <cstring>

namespace {

// The 16 x 16 Bayer matrix, its 256 ranks spread over 0..254 so that white (255 in sGray) never
// prints a dot and black (0) always does.
std::array<std::array<uint8_t, 16>, 16> MakeThresholds() {
    std::array<std::array<uint8_t, 16>, 16> matrix{};
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 16; ++x) {
            uint32_t rank = 0;
            const uint32_t xy = x ^ y;
            for (uint32_t bit = 0; bit < 4; ++bit) {
                rank |= ((xy >> bit) & 1) << (7 - 2 * bit);
                rank |= ((y >> bit) & 1) << (6 - 2 * bit);
            }
            matrix[y][x] = static_cast<uint8_t>(rank * 255 / 256);
        }
    }
    return matrix;
}

const std::array<std::array<uint8_t, 16>, 16> kThresholds = MakeThresholds();

}  // namespace

void CGrayDither::DitherRow(const uint8_t* gray, uint32_t width, uint32_t y, uint8_t* bits) const {
    std::memset(bits, 0, (width + 7) / 8);
    const std::array<uint8_t, 16>& row = kThresholds[y & 15];
    for (uint32_t x = 0; x < width; ++x) {
        // A dot where the darkness is above the threshold.
        const uint8_t darkness = m_blackIsHigh ? gray[x] : static_cast<uint8_t>(255 - gray[x]);
        if (darkness > row[x & 15])
            bits[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
}
