#pragma once

#include <cstdint>
#include <string>

#include "platform/text_types.h"

// The little the setup needs of a PPD file, read from its own lines: whether it is a PPD at all,
// and the name it gives its printer.
struct PpdFacts {
    bool adobe = false;     // the first line starts with "*PPD-Adobe:"
    std::wstring nickName;  // the value of *NickName without its quotes; empty without one
};

// The facts of a PPD's text (its bytes as read; PPDs are ASCII or Latin-1, a few UTF-8).
PpdFacts ReadPpdFacts(const std::string& bytes);

// The PPD files that a packager put in the setup folder for a driver family (the type values of
// SetupContext: kType24Pin, kType9Pin): PrinterDriver\24pin\*.ppd or PrinterDriver\9pin\*.ppd,
// the extension in any case. Full paths in Windows form, sorted; none for an unknown family or
// a folder without them.
StringList FamilyPpdFiles(const std::wstring& setupFolder, int32_t type);
