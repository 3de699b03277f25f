#include "printer_app/tests/test_page.h"

#include <algorithm>

#include "printer_app/gray_dither.h"

std::vector<uint8_t> KnownGrayPage(uint32_t width, uint32_t height) {
    std::vector<uint8_t> gray(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool white = (y / 30) % 3 == 1 || x + 25 >= width;
            gray[y * width + x] = white ? 255 : static_cast<uint8_t>((x * 3 + y * 5) % 256);
        }
    }
    return gray;
}

DotPage DitheredReference(const std::vector<uint8_t>& gray, uint32_t width, uint32_t height) {
    CGrayDither dither(false);
    std::vector<uint8_t> bits((width + 7) / 8);
    DotPage page;
    page.width = width;
    page.height = height;
    page.dots.resize(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        dither.DitherRow(&gray[y * width], width, y, bits.data());
        for (uint32_t x = 0; x < width; ++x)
            page.dots[y * width + x] = (bits[x / 8] >> (7 - x % 8)) & 1;
    }
    return page;
}

std::string FirstDifference(const DotPage& expected, const DotPage& actual) {
    const uint32_t width = std::max(expected.width, actual.width);
    const uint32_t height = std::max(expected.height, actual.height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            if (expected.At(x, y) != actual.At(x, y))
                return "dot " + std::to_string(x) + "," + std::to_string(y) + " is " +
                       std::to_string(actual.At(x, y)) + ", expected " +
                       std::to_string(expected.At(x, y));
        }
    }
    return std::string();
}
