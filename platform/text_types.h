#pragma once

#include <string>
#include <vector>

// The framework's wide string; detection and the pages hand results back in it.
using CString = std::wstring;

// An ordered list of wide strings. Operations that fill one append in source order and never clear
// it first; the caller owns it.
using StringList = std::vector<std::wstring>;
