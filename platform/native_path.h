#pragma once

#include <cstdio>

// Opens a file named by a Windows path for reading in binary mode, on whatever system the program
// runs: the Windows wide-character API there, the stand-in path mapping elsewhere. Null when it
// cannot be opened.
std::FILE* OpenNativeFile(const wchar_t* path);

// Opens a file named by a Windows path for appending in binary mode, making it when it does not
// exist. Null when it cannot be opened.
std::FILE* OpenNativeFileToAppend(const wchar_t* path);
