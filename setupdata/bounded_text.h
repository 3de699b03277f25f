#pragma once

#include <cstdint>

// Copies into fixed-width text fields. A text that does not fit is not cut: a cut path or printer
// name would name another file or queue, so the destination gets the empty text instead.

// Makes `dest` (of `width` characters) hold `text`, or the empty text when `text` does not fit.
// Returns whether it fitted.
bool CopyText(wchar_t* dest, uint32_t width, const wchar_t* text);

// Fills the whole field with NULs.
void ClearText(wchar_t* dest, uint32_t width);
