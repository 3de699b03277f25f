#include "printer_app/escp_band_encoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kEsc = '\x1b';
// ESC J moves at most 255 units at a time.
constexpr uint32_t kLargestFeed = 255;

}  // namespace

CEscpBandEncoder::CEscpBandEncoder(const EscpMode& mode, uint32_t width)
    : m_mode(mode),
      m_width(width),
      m_rowBytes((width + 7) / 8),
      m_pass(mode.pinsPerPass * m_rowBytes) {}

void CEscpBandEncoder::AddRow(const uint8_t* bits, std::string& out) {
    std::memcpy(&m_pass[m_rowsInPass * m_rowBytes], bits, m_rowBytes);
    ++m_rows;
    if (++m_rowsInPass == m_mode.pinsPerPass)
        FlushPass(out);
}

void CEscpBandEncoder::EndPage(std::string& out) {
    if (m_rowsInPass > 0)
        FlushPass(out);
    // The form feed ejects the page from wherever the paper stands: what is still owed is dropped.
    m_pendingFeed = 0;
    out += '\f';
}

void CEscpBandEncoder::FlushPass(std::string& out) {
    // The rows a partly filled last pass lacks are white.
    std::fill(m_pass.begin() + m_rowsInPass * m_rowBytes, m_pass.end(), 0);
    const uint32_t pins = m_mode.pinsPerPass;
    const uint32_t bytesPerColumn = pins / 8;
    m_columns.assign(static_cast<size_t>(m_width) * bytesPerColumn, '\0');
    uint32_t lastColumn = 0;  // one past the last column with a dot
    for (uint32_t pin = 0; pin < pins; ++pin) {
        const uint8_t* row = &m_pass[pin * m_rowBytes];
        const uint32_t byteOfPin = pin / 8;
        const uint8_t bitOfPin = static_cast<uint8_t>(0x80 >> (pin % 8));
        for (uint32_t i = 0; i < m_rowBytes; ++i) {
            if (row[i] == 0)
                continue;
            for (uint32_t bit = 0; bit < 8; ++bit) {
                if ((row[i] & (0x80 >> bit)) == 0)
                    continue;
                const uint32_t x = i * 8 + bit;
                m_columns[x * bytesPerColumn + byteOfPin] |= static_cast<char>(bitOfPin);
                lastColumn = std::max(lastColumn, x + 1);
            }
        }
    }
    if (lastColumn > 0) {
        Feed(m_pendingFeed, out);
        m_pendingFeed = 0;
        if (m_mode.adjacentDots) {
            SendLine(m_columns, lastColumn, out);
        } else {
            // A pin cannot fire in two adjacent columns of this density: the even columns go in
            // one line, the odd ones in a second line over the same paper.
            std::string half(m_columns);
            for (size_t x = 1; x < lastColumn; x += 2)
                std::fill_n(half.begin() + x * bytesPerColumn, bytesPerColumn, '\0');
            SendLine(half, lastColumn, out);
            for (size_t x = 0; x < lastColumn; ++x) {
                if (x % 2 == 0)
                    std::fill_n(m_columns.begin() + x * bytesPerColumn, bytesPerColumn, '\0');
            }
            SendLine(m_columns, lastColumn, out);
        }
    }
    m_pendingFeed += pins * m_mode.feedUnitsPerRow;
    m_rowsInPass = 0;
}

void CEscpBandEncoder::SendLine(const std::string& columns, uint32_t count, std::string& out) {
    const char header[] = {kEsc, '*', static_cast<char>(m_mode.bitImageMode),
                           static_cast<char>(count & 0xff), static_cast<char>(count >> 8)};
    out += '\r';
    out.append(header, sizeof header);
    out.append(columns, 0, static_cast<size_t>(count) * (m_mode.pinsPerPass / 8));
}

void CEscpBandEncoder::Feed(uint32_t units, std::string& out) {
    while (units > 0) {
        const uint32_t step = std::min(units, kLargestFeed);
        const char feed[] = {kEsc, 'J', static_cast<char>(step)};
        out.append(feed, sizeof feed);
        units -= step;
    }
}
