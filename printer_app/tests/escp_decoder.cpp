#include "printer_app/tests/escp_decoder.h"

#include <algorithm>
#include <map>
#include <utility>

namespace {

// The dots of a page, gathered before its size is known.
class CPageCanvas {
  public:
    void Set(uint32_t x, uint32_t y) {
        m_dots.emplace_back(x, y);
        m_width = std::max(m_width, x + 1);
        m_height = std::max(m_height, y + 1);
    }
    DotPage Take() {
        DotPage page;
        page.width = m_width;
        page.height = m_height;
        page.dots.assign(static_cast<size_t>(m_width) * m_height, 0);
        for (const auto& [x, y] : m_dots)
            page.dots[static_cast<size_t>(y) * m_width + x] = 1;
        *this = CPageCanvas();
        return page;
    }

  private:
    std::vector<std::pair<uint32_t, uint32_t>> m_dots;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
};

struct ModeShape {
    uint32_t pins;
    uint32_t feedUnitsPerRow;
    bool adjacentDots;  // quadruple density cannot fire a pin in two adjacent columns
};

const std::map<uint8_t, ModeShape> kModes = {
    {39, {24, 1, true}}, {1, {8, 3, true}}, {3, {8, 3, false}}};

}  // namespace

DecodedJob DecodeEscp(const std::string& bytes) {
    DecodedJob job;
    CPageCanvas canvas;
    uint32_t feedUnits = 0;  // the paper's advance on this page, in ESC J units
    uint32_t unitsPerRow = 1;
    bool pageHasContent = false;
    bool atLeftMargin = true;  // graphics print from where the head stands
    size_t i = 0;
    auto byteAt = [&](size_t at) { return static_cast<uint8_t>(bytes[at]); };
    while (i < bytes.size() && job.error.empty()) {
        const uint8_t c = byteAt(i);
        if (c == '\r') {
            atLeftMargin = true;
            ++i;
        } else if (c == '\f') {
            job.pages.push_back(canvas.Take());
            feedUnits = 0;
            pageHasContent = false;
            ++i;
        } else if (c == 0x1b && i + 1 < bytes.size() && bytes[i + 1] == '@') {
            job.startsWithReset |= i == 0;
            job.endsWithReset = i + 2 == bytes.size();
            ++job.resets;
            i += 2;
        } else if (c == 0x1b && i + 2 < bytes.size() && bytes[i + 1] == 'J') {
            feedUnits += byteAt(i + 2);
            i += 3;
        } else if (c == 0x1b && i + 4 < bytes.size() && bytes[i + 1] == '*' &&
                   kModes.count(byteAt(i + 2)) != 0) {
            const ModeShape shape = kModes.at(byteAt(i + 2));
            const uint32_t columns = byteAt(i + 3) | (byteAt(i + 4) << 8);
            const uint32_t bytesPerColumn = shape.pins / 8;
            i += 5;
            if (i + static_cast<size_t>(columns) * bytesPerColumn > bytes.size()) {
                job.error = "graphics cut short";
                break;
            }
            if (!atLeftMargin)
                job.error = "graphics that do not begin at the left margin";
            atLeftMargin = false;
            if (pageHasContent && shape.feedUnitsPerRow != unitsPerRow)
                job.error = "modes of two families on one page";
            unitsPerRow = shape.feedUnitsPerRow;
            if (feedUnits % unitsPerRow != 0)
                job.error = "an advance between two rows";
            const uint32_t top = feedUnits / unitsPerRow;
            for (uint32_t x = 0; x < columns; ++x) {
                const size_t at = i + static_cast<size_t>(x) * bytesPerColumn;
                if (!shape.adjacentDots && x > 0 && (byteAt(at) & byteAt(at - 1)) != 0)
                    job.error = "a pin fired in adjacent columns at quadruple density";
                for (uint32_t pin = 0; pin < shape.pins; ++pin) {
                    if (byteAt(i + x * bytesPerColumn + pin / 8) & (0x80 >> (pin % 8)))
                        canvas.Set(x, top + pin);
                }
            }
            i += static_cast<size_t>(columns) * bytesPerColumn;
            pageHasContent = true;
        } else {
            job.error = "unknown byte " + std::to_string(c) + " at " + std::to_string(i);
        }
    }
    return job;
}
