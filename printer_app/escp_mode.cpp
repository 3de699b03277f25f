#include "printer_app/escp_mode.h"

#include <cstring>
#include <initializer_list>

const EscpMode kMode24Pin = {"korvel_24pin", 39, 180, 180, 24, 1, true};
const EscpMode kMode9Pin120 = {"korvel_9pin", 1, 120, 72, 8, 3, true};
const EscpMode kMode9Pin240 = {"korvel_9pin", 3, 240, 72, 8, 3, false};

const EscpMode* FindEscpMode(const char* driverName, int xDpi, int yDpi) {
    for (const EscpMode* mode : {&kMode24Pin, &kMode9Pin120, &kMode9Pin240}) {
        if (driverName != nullptr && std::strcmp(mode->driverName, driverName) == 0 &&
            mode->xDpi == xDpi && mode->yDpi == yDpi)
            return mode;
    }
    return nullptr;
}
