#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "printer_app/escp_mode.h"

// Turns the 1-bit rows of one page into ESC/P bit-image graphics: the rows are gathered into
// passes of the head (24 or 8 rows), each pass sent as one ESC * line from the left margin,
// and the paper moved on by ESC J. Blank passes print nothing and only add to the next advance,
// and each pass stops at its last dot, so that white costs neither bytes nor head travel.
class CEscpBandEncoder {
  public:
    CEscpBandEncoder(const EscpMode& mode, uint32_t width);

    // Adds the next row ((width + 7) / 8 bytes, first dot in the top bit); the bytes of every
    // pass it completes are appended to `out`.
    void AddRow(const uint8_t* bits, std::string& out);
    // Sends the last, partly filled pass and ends the page with a form feed.
    void EndPage(std::string& out);

    uint32_t Rows() const { return m_rows; }

  private:
    void FlushPass(std::string& out);
    // One ESC * line of the first `count` columns, from the left margin.
    void SendLine(const std::string& columns, uint32_t count, std::string& out);
    void Feed(uint32_t units, std::string& out);

    const EscpMode& m_mode;
    const uint32_t m_width;
    const uint32_t m_rowBytes;
    std::vector<uint8_t> m_pass;  // pinsPerPass rows of m_rowBytes
    uint32_t m_rowsInPass = 0;
    uint32_t m_pendingFeed = 0;  // ESC J units owed before the next printed pass
    uint32_t m_rows = 0;
    std::string m_columns;
};
