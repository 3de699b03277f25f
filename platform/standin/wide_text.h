#pragma once

#include <string>

// Text conversions the stand-ins need on a platform whose wide characters are UTF-32.

// Decodes UTF-8; each invalid byte becomes U+FFFD, as Windows decodes it.
std::wstring DecodeUtf8(const std::string& bytes);

// Decodes UTF-16 of the given byte order; surrogate pairs become one character where wchar_t is
// 32 bits wide, and a trailing odd byte is dropped.
std::wstring DecodeUtf16(const std::string& bytes, bool bigEndian);

// Decodes 8-bit text one byte per character (ISO 8859-1).
std::wstring DecodeLatin1(const std::string& bytes);

// Encodes to UTF-8 (for file names handed to the operating system).
std::string EncodeUtf8(const std::wstring& text);
