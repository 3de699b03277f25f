#pragma once

#include <cstdio>
#include <string>

#include "platform/text_types.h"

// A path as the running system writes it, for what a person reads (messages, the log, JSON): the
// engine keeps the setup record's Windows form inside, which on Linux would show backslashes.
std::wstring DisplayPath(const std::wstring& path);

// Opens a file named by a Windows path for reading in binary mode, on whatever system the program
// runs: the Windows wide-character API there, the stand-in path mapping elsewhere. Null when it
// cannot be opened.
std::FILE* OpenNativeFile(const wchar_t* path);

// Reads the whole of a file named by a Windows path into `bytes`, replacing what it held. False
// when the file cannot be opened or read to its end; `bytes` is then untouched.
bool ReadNativeFile(const wchar_t* path, std::string& bytes);

// Appends the names of the plain files in a folder named by a Windows path, sorted by their
// characters' values, without the folder's path. False when the folder cannot be read; `names`
// is then untouched.
bool ListNativeFolder(const wchar_t* folder, StringList& names);
