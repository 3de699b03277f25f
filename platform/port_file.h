#pragma once

#include <cstddef>
#include <string>

// The file that --port-file names, which holds the device URI of an install. A URI may carry a
// password, which on the command line every account of the machine could read while the run
// lasts; in a file, only whoever may read the file. Whoever may change the file chooses where
// the printer's jobs go, so the file must be as trusted as the run itself.

// The most bytes of a port file, or of standard input, that a device URI may take; one more is
// read, so that a longer one is refused rather than cut short.
constexpr size_t kPortFileMostBytes = 8192;

// Reads the start of the file, at most kPortFileMostBytes + 1 bytes, into `bytes`: only a
// regular file of the running account, or of the system or its administrators, that no other
// account may change, opened as it is and never through a link; for a privileged run on Linux
// in a folder that no other account can change. False with the reason, in a sentence for the
// user, in `why`.
bool ReadPortFile(const std::wstring& path, std::string& bytes, std::wstring& why);
