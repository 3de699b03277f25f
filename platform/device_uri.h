#pragma once

#include <string>

// The scheme of a device URI ("socket" of "socket://host:9100"), as RFC 3986 writes it: a letter,
// then letters, digits, "+", "-" or ".", then ":". Empty when the text is no URI, so that a
// device that no backend could ever print to is refused before anything is touched.
std::wstring UriScheme(const std::wstring& uri);
