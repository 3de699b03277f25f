#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A PWG raster document of `pages` copies of one page, as a client sends it: `type` is the
// PWG raster type ("sgray_8", "srgb_8"), `pixels` the page's bytes (width x bytes a pixel, row
// after row).
std::string PwgRaster(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, int xDpi,
                      int yDpi, const char* type = "sgray_8", int pages = 1);

// The same document with the height of its first page set to 0 in the header.
std::string WithZeroHeight(std::string raster);

// A PNG file whose header claims `width` x `height` pixels, with a first image data chunk that
// is cut short.
std::string PngHeaderOnly(uint32_t width, uint32_t height);
