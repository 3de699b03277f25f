#pragma once

#include <string>

// A file named on the command line (--log, --port-file), made absolute from the working folder
// and split into its folder and its name, so that the file can be opened below its folder and
// never through a link. False when the path names no file (it ends with "/", ".", "..").
bool SplitFilePath(const std::wstring& given, std::string& folder, std::string& name);
