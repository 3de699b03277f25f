#pragma once

#include "console/exit_codes.h"

class CConsoleContext;

// What a command needs before it starts. Each says what is missing on standard error and gives
// the exit code in `exit` when it returns false.

// The setup folder: --setup-folder, else the program's own. False when its printer information
// file is missing.
bool UseSetupFolder(CConsoleContext& context, Outcome& exit);

// The chosen model's printer name into the setup record; with `needsFamily`, only a printer the
// setup data gives a driver family, since nothing can be installed without one.
bool ChooseModel(CConsoleContext& context, Outcome& exit, bool needsFamily = false);

// Administrator rights, for a command that changes the printers of the computer.
bool Elevated(CConsoleContext& context, Outcome& exit);
