// The 24-pin driver's step from raster to printer bytes, in process, over many repetitions.
//   escp_speed_benchmark write GRAY-RASTER BLACK-RASTER TINY-RASTER
//     writes an A4 grey page at 180 dpi as an 8-bit CUPS raster, the same page dithered as the
//     driver dithers it as a 1-bit black raster (what CUPS's raster filters take), and a tiny
//     1-bit page (to time a filter's start)
//   escp_speed_benchmark time RASTER REPETITIONS
//     prints the median milliseconds a page takes: dither and encode for an 8-bit page, encode
//     alone for a 1-bit one
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "printer_app/escp_band_encoder.h"
#include "printer_app/escp_job.h"
#include "printer_app/gray_dither.h"

namespace {

struct Page {
    cups_page_header2_t header;
    std::vector<uint8_t> pixels;
};

void WriteRaster(const char* path, const char* type, uint32_t width, uint32_t height,
                 const std::vector<uint8_t>& pixels) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_WRITE);
    cups_page_header2_t header;
    cupsRasterInitPWGHeader(&header, pwgMediaForPWG("iso_a4_210x297mm"), type, 180, 180,
                            "one-sided", nullptr);
    header.cupsWidth = width;
    header.cupsHeight = height;
    header.cupsBytesPerLine = (width * header.cupsBitsPerPixel + 7) / 8;
    // CUPS's ESC/P filter prints 24 rows a pass at 180 dpi, as its PPD asks.
    header.cupsRowCount = 24;
    cupsRasterWriteHeader2(raster, &header);
    std::vector<uint8_t> copy(pixels);
    cupsRasterWritePixels(raster, copy.data(), static_cast<unsigned>(copy.size()));
    cupsRasterClose(raster);
    close(fd);
}

int Write(const char* grayPath, const char* blackPath, const char* tinyPath) {
    const uint32_t width = 1488;  // A4 at 180 dpi
    const uint32_t height = 2105;
    std::vector<uint8_t> gray(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x)
            gray[y * width + x] = static_cast<uint8_t>((x / 6 + y / 9) % 256);
    }
    WriteRaster(grayPath, "sgray_8", width, height, gray);
    CGrayDither dither(false);
    const uint32_t rowBytes = (width + 7) / 8;
    std::vector<uint8_t> black(static_cast<size_t>(rowBytes) * height);
    for (uint32_t y = 0; y < height; ++y)
        dither.DitherRow(&gray[y * width], width, y, &black[y * rowBytes]);
    WriteRaster(blackPath, "black_1", width, height, black);
    WriteRaster(tinyPath, "black_1", 8, 24, std::vector<uint8_t>(24, 0));
    return 0;
}

Page ReadPage(const char* path) {
    Page page;
    const int fd = open(path, O_RDONLY);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
    if (raster == nullptr || !cupsRasterReadHeader2(raster, &page.header)) {
        std::fprintf(stderr, "cannot read a page of %s\n", path);
        std::exit(1);
    }
    page.pixels.resize(static_cast<size_t>(page.header.cupsBytesPerLine) * page.header.cupsHeight);
    cupsRasterReadPixels(raster, page.pixels.data(), static_cast<unsigned>(page.pixels.size()));
    cupsRasterClose(raster);
    close(fd);
    return page;
}

// One page through the driver; the size of what it sends, so that nothing is optimised away.
size_t PrintPage(const Page& page) {
    const cups_page_header2_t& h = page.header;
    std::string out;
    if (h.cupsBitsPerPixel == 1) {
        CEscpBandEncoder encoder(kMode24Pin, h.cupsWidth);
        for (uint32_t y = 0; y < h.cupsHeight; ++y)
            encoder.AddRow(&page.pixels[y * h.cupsBytesPerLine], out);
        encoder.EndPage(out);
        return out.size();
    }
    CEscpJob job(kMode24Pin.driverName);
    std::string problem;
    job.StartPage(PageFormatOf(h), problem);
    for (uint32_t y = 0; y < h.cupsHeight; ++y)
        job.WriteRow(y, &page.pixels[y * h.cupsBytesPerLine]);
    job.EndPage(out, problem);
    job.EndJob(out);
    return out.size();
}

int Time(const char* path, int repetitions) {
    const Page page = ReadPage(path);
    std::vector<double> times;
    size_t bytes = 0;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        bytes = PrintPage(page);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%.3f\n", times[times.size() / 2]);
    std::fprintf(stderr, "%zu bytes a page\n", bytes);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "write") == 0)
        return Write(argv[2], argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[1], "time") == 0)
        return Time(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr,
                 "usage: escp_speed_benchmark write GRAY BLACK TINY | time RASTER REPETITIONS\n");
    return 2;
}
