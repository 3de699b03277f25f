#pragma once

#include <string>

// Why the printer information file at `path` cannot be read as the setup data at all (it cannot
// be opened, is empty, cut short, in an encoding of which only its byte order mark is left, or
// holds no section), or empty when it can. Every command but validate stops on such a file: what
// it would read from it would blame the user's arguments.
std::wstring WhyInfoFileCannotBeRead(const wchar_t* path);
