#include "printer_app/gray_dither.h"

#include <array>

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

namespace {

// One row against a row of limits; `kBlackIsHigh` is fixed at compile time so that the inner
// loop has no branch.
template <bool kBlackIsHigh>
void DitherAgainst(const uint8_t* gray, uint32_t width, const uint8_t* limits, uint8_t* bits) {
    const uint32_t wholeBytes = width / 8;
    for (uint32_t i = 0; i < wholeBytes; ++i) {
        const uint8_t* pixels = gray + i * 8;
        const uint8_t* limit = limits + (i & 1) * 8;
        uint32_t byte = 0;
        for (uint32_t bit = 0; bit < 8; ++bit) {
            const bool dot = kBlackIsHigh ? pixels[bit] > limit[bit] : pixels[bit] < limit[bit];
            byte |= static_cast<uint32_t>(dot) << (7 - bit);
        }
        bits[i] = static_cast<uint8_t>(byte);
    }
    if (width % 8 != 0) {
        uint32_t byte = 0;
        for (uint32_t x = wholeBytes * 8; x < width; ++x) {
            const bool dot = kBlackIsHigh ? gray[x] > limits[x & 15] : gray[x] < limits[x & 15];
            byte |= static_cast<uint32_t>(dot) << (7 - (x & 7));
        }
        bits[wholeBytes] = static_cast<uint8_t>(byte);
    }
}

}  // namespace

void CGrayDither::DitherRow(const uint8_t* gray, uint32_t width, uint32_t y, uint8_t* bits) const {
    const std::array<uint8_t, 16>& row = kThresholds[y & 15];
    // A dot where the darkness is above the threshold: for K the value itself; for grey its
    // complement, so grey is compared with 255 minus the threshold instead.
    uint8_t limits[16];
    for (uint32_t i = 0; i < 16; ++i)
        limits[i] = m_blackIsHigh ? row[i] : static_cast<uint8_t>(255 - row[i]);
    if (m_blackIsHigh)
        DitherAgainst<true>(gray, width, limits, bits);
    else
        DitherAgainst<false>(gray, width, limits, bits);
}
