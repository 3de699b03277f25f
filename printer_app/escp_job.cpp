#include "printer_app/escp_job.h"

namespace {

const char kReset[] = "\x1b@";

}  // namespace

bool CEscpJob::StartPage(const RasterPageFormat& format, std::string& problem) {
    const EscpMode* mode = FindEscpMode(m_driverName, format.xDpi, format.yDpi);
    if (format.width == 0 || format.height == 0) {
        problem = "the page has no pixels";
        return false;
    }
    if (!format.grayColorSpace || format.bitsPerPixel != 8) {
        problem = "the page is not 8-bit grey";
        return false;
    }
    if (mode == nullptr) {
        problem = "the printer has no resolution of " + std::to_string(format.xDpi) + "x" +
                  std::to_string(format.yDpi) + " dpi";
        return false;
    }
    if (format.width > kWidestFormInches * mode->xDpi) {
        problem = "the page is wider than the widest form";
        return false;
    }
    m_format = format;
    m_encoder = std::make_unique<CEscpBandEncoder>(*mode, format.width);
    m_dither = std::make_unique<CGrayDither>(format.blackIsHigh);
    m_bits.assign((format.width + 7) / 8, '\0');
    m_page.clear();
    return true;
}

void CEscpJob::WriteRow(uint32_t y, const uint8_t* pixels) {
    // Rows come in order; one past the page's height is ignored rather than printed.
    if (!m_encoder || y != m_encoder->Rows() || y >= m_format.height)
        return;
    uint8_t* bits = reinterpret_cast<uint8_t*>(m_bits.data());
    m_dither->DitherRow(pixels, m_format.width, y, bits);
    m_encoder->AddRow(bits, m_page);
}

bool CEscpJob::EndPage(std::string& out, std::string& problem) {
    if (!m_encoder)
        return false;
    const uint32_t rows = m_encoder->Rows();
    if (rows < m_format.height) {
        problem = "the page ended after " + std::to_string(rows) + " of its " +
                  std::to_string(m_format.height) + " rows";
        m_encoder.reset();
        m_page.clear();
        return false;
    }
    m_encoder->EndPage(m_page);
    m_encoder.reset();
    if (!m_sentAnyPage)
        out += kReset;
    out += m_page;
    m_page.clear();
    m_sentAnyPage = true;
    return true;
}

void CEscpJob::EndJob(std::string& out) {
    if (m_sentAnyPage)
        out += kReset;
}

RasterPageFormat PageFormatOf(const cups_page_header2_t& header) {
    RasterPageFormat format;
    format.width = header.cupsWidth;
    format.height = header.cupsHeight;
    format.xDpi = static_cast<int>(header.HWResolution[0]);
    format.yDpi = static_cast<int>(header.HWResolution[1]);
    format.bitsPerPixel = header.cupsBitsPerPixel;
    format.blackIsHigh = header.cupsColorSpace == CUPS_CSPACE_K;
    format.grayColorSpace = header.cupsColorSpace == CUPS_CSPACE_K ||
                            header.cupsColorSpace == CUPS_CSPACE_W ||
                            header.cupsColorSpace == CUPS_CSPACE_SW;
    return format;
}
