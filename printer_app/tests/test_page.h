#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "printer_app/tests/escp_decoder.h"

// A known grey page (0 black, 255 white): ramps of grey, with white bands a pass high and more,
// and a white right edge, so that blank passes and short passes are both met.
std::vector<uint8_t> KnownGrayPage(uint32_t width, uint32_t height);

// What the page must print as: the page dithered as the drivers dither it.
DotPage DitheredReference(const std::vector<uint8_t>& gray, uint32_t width, uint32_t height);

// Where two pages differ: empty when they hold the same dots (outside its size a page is white).
std::string FirstDifference(const DotPage& expected, const DotPage& actual);
