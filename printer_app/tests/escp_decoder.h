#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A page of dots, one byte a dot (1 = printed), row after row.
struct DotPage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> dots;

    uint8_t At(uint32_t x, uint32_t y) const {
        return x < width && y < height ? dots[y * width + x] : 0;
    }
};

// What the decoder makes of a printer's bytes: the pages, and how the job was framed.
struct DecodedJob {
    std::vector<DotPage> pages;
    int resets = 0;  // ESC @ seen
    bool startsWithReset = false;
    bool endsWithReset = false;
    std::string error;  // the first byte sequence outside the subset, empty when none
};

// Decodes the ESC/P subset the drivers send (ESC @, ESC * m nL nH, ESC J n, CR, FF) into the
// pages of dots the printer would print, each as high as its last printed row and as wide as its
// widest pass. ESC J counts in rows: 1/180 inch on 24-pin (mode 39), 1/216 inch on 9-pin
// (modes 1 and 3), whose rows are 1/72 inch apart. Lines over the same paper add their dots; a
// quadruple-density line (mode 3) with a pin fired in two adjacent columns is an error, as the
// printer would not print it.
DecodedJob DecodeEscp(const std::string& bytes);
