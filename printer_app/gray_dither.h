#pragma once

#include <cstdint>

// Turns 8-bit grey rows into the 1-bit rows the head prints (1 = a dot), with a 16 x 16 ordered
// dither: the threshold of a dot depends only on its place, so that a page dithers the same way
// whatever comes before it, and a row can be dithered alone.
class CGrayDither {
  public:
    // `blackIsHigh`: 255 is black (the CUPS K colour space); else 0 is black (sGray, W).
    explicit CGrayDither(bool blackIsHigh) : m_blackIsHigh(blackIsHigh) {}

    // Dithers `width` pixels of row `y` into `bits` ((width + 7) / 8 bytes, first dot in the top
    // bit of the first byte); the pad bits of the last byte are 0.
    void DitherRow(const uint8_t* gray, uint32_t width, uint32_t y, uint8_t* bits) const;

  private:
    bool m_blackIsHigh;
};
