#pragma once

#include <cstdint>

// How one family of printers prints graphics: the bit-image mode of ESC *, its resolution, how
// many rows of dots one pass of the head prints, and the ESC J advance that moves the paper past
// one pass (in the family's own feed unit: 1/180 inch on 24-pin printers, 1/216 inch on 9-pin).
struct EscpMode {
    const char* driverName;   // the PAPPL driver name, after the setup data's family
    uint8_t bitImageMode;     // m of ESC * m nL nH
    uint16_t xDpi;            // dots per inch across
    uint16_t yDpi;            // rows per inch down
    uint8_t pinsPerPass;      // rows printed by one pass: 24 or 8
    uint8_t feedUnitsPerRow;  // ESC J units between two rows: 1 at 180 dpi, 3 at 72 dpi
    bool adjacentDots;        // whether a pin may fire in two adjacent columns (not at 240 dpi)
};

// The widest form either family takes (10 inch tractor paper); wider pages are refused rather
// than cut.
constexpr uint32_t kWidestFormInches = 10;

// ESC * 39: 24-dot triple density, 180 x 180 dpi.
extern const EscpMode kMode24Pin;
// ESC * 1 (double density, 120 dpi) and ESC * 3 (quadruple density, 240 dpi); 72 rows an inch.
extern const EscpMode kMode9Pin120;
extern const EscpMode kMode9Pin240;

// The mode of a driver at a resolution, or null when the driver has no such resolution.
const EscpMode* FindEscpMode(const char* driverName, int xDpi, int yDpi);
