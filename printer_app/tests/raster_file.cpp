#include "printer_app/tests/raster_file.h"

#include <cups/raster.h>

#include <cstddef>

namespace {

ssize_t AppendTo(void* data, unsigned char* buffer, size_t bytes) {
    static_cast<std::string*>(data)->append(reinterpret_cast<char*>(buffer), bytes);
    return static_cast<ssize_t>(bytes);
}

void PutBigEndian(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xffffffff;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

}  // namespace

std::string PwgRaster(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height, int xDpi,
                      int yDpi, const char* type, int pages) {
    std::string out;
    cups_raster_t* raster = cupsRasterOpenIO(AppendTo, &out, CUPS_RASTER_WRITE_PWG);
    cups_page_header2_t header;
    cupsRasterInitPWGHeader(&header, pwgMediaForPWG("iso_a4_210x297mm"), type, xDpi, yDpi,
                            "one-sided", nullptr);
    header.cupsWidth = width;
    header.cupsHeight = height;
    header.cupsBytesPerLine = width * header.cupsBitsPerPixel / 8;
    for (int i = 0; i < pages; ++i) {
        cupsRasterWriteHeader2(raster, &header);
        std::vector<uint8_t> rows(pixels);
        cupsRasterWritePixels(raster, rows.data(), static_cast<unsigned>(rows.size()));
    }
    cupsRasterClose(raster);
    return out;
}

std::string WithZeroHeight(std::string raster) {
    // The page header follows the 4-byte sync word, its fields big-endian in the struct's order.
    PutBigEndian(raster, 4 + offsetof(cups_page_header2_t, cupsHeight), 0);
    return raster;
}

namespace {

// A chunk of `type` (4 letters and the data), with its length and check sum.
std::string PngChunk(const std::string& typeAndData) {
    std::string chunk(4, '\0');
    PutBigEndian(chunk, 0, static_cast<uint32_t>(typeAndData.size() - 4));
    chunk += typeAndData;
    chunk += std::string(4, '\0');
    PutBigEndian(chunk, chunk.size() - 4, Crc32(typeAndData));
    return chunk;
}

}  // namespace

std::string PngHeaderOnly(uint32_t width, uint32_t height) {
    std::string header("IHDR\0\0\0\0\0\0\0\0\x08\x00\x00\x00\x00", 17);
    PutBigEndian(header, 4, width);
    PutBigEndian(header, 8, height);
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk(header) +
           PngChunk(std::string("IDAT\x78\x9c", 6)) + PngChunk("IEND");
}
