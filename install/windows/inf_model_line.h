#pragma once

#include <cstddef>
#include <string>

// How the Plug-and-Play path finds a printer's model line in its driver INF. The installer and the
// setup-folder check both use these rules, so that the check finds exactly the line the installer
// would.
namespace InfModelLine {

// An identifier must fit the reader's buffer of this many bytes with its terminator.
constexpr size_t kIdBytes = 1024;

// The key a printer's model line begins with: the printer name in double quotes, so that a longer
// model name that merely begins with this one does not match.
std::wstring KeyOf(const wchar_t* printerName);

// Writes the maker's name as the driver INF writes it in its model lines ("Korvel" as "KORVEL"),
// in place, in the first `length` characters of `key`.
void UpperCaseMaker(wchar_t* key, size_t length);

// The key as the bytes it is searched for in the INF, which is 8-bit text, one character a byte.
// False when no line can begin with it: it is empty, holds a character beyond 8 bits, or holds a
// line feed.
bool SearchBytes(const wchar_t* key, size_t length, std::string& bytes);

// The identifier of a model line that begins with the key (`line` without its line end): the text
// between its first two commas, empty without a second one. False when the reader passes the line
// over: "USB" stands nowhere from the character before the first comma on, or the identifier does
// not fit kIdBytes.
bool IdentifierOf(const char* line, size_t length, std::string& identifier);

}  // namespace InfModelLine
