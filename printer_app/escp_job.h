#pragma once

#include <cups/raster.h>

#include <cstdint>
#include <memory>
#include <string>

#include "printer_app/escp_band_encoder.h"
#include "printer_app/escp_mode.h"
#include "printer_app/gray_dither.h"

// What a raster page says of itself.
struct RasterPageFormat {
    uint32_t width = 0;
    uint32_t height = 0;
    int xDpi = 0;
    int yDpi = 0;
    uint32_t bitsPerPixel = 0;
    bool blackIsHigh = false;     // the K colour space; sGray and W have 0 for black
    bool grayColorSpace = false;  // K, W or sGray: the only ones a black-only printer can take
};

// The format of a page as a CUPS raster header gives it.
RasterPageFormat PageFormatOf(const cups_page_header2_t& header);

// One job of a driver, from raster rows to the printer's bytes, apart from any print framework
// so that it can be tested and measured alone. A page reaches the output only once it is whole:
// a page cut short is dropped, and a job none of whose pages was whole sends nothing, not even
// its opening reset. The job is framed by ESC @ before its first page and after its last.
class CEscpJob {
  public:
    explicit CEscpJob(const char* driverName) : m_driverName(driverName) {}

    // Begins a page. False, with why in `problem`, for a page the driver cannot print.
    bool StartPage(const RasterPageFormat& format, std::string& problem);
    // Row `y` of the page begun: width bytes of 8-bit grey.
    void WriteRow(uint32_t y, const uint8_t* pixels);
    // Ends the page: its bytes (after the job's opening reset when it is the first) are appended
    // to `out`. False, with why in `problem`, when rows are missing; nothing is appended then.
    bool EndPage(std::string& out, std::string& problem);
    // The closing reset, when any page was sent.
    void EndJob(std::string& out);

  private:
    const char* m_driverName;
    std::unique_ptr<CEscpBandEncoder> m_encoder;
    std::unique_ptr<CGrayDither> m_dither;
    RasterPageFormat m_format;
    std::string m_bits;  // one dithered row
    std::string m_page;  // the page's bytes so far
    bool m_sentAnyPage = false;
};
