#pragma once

// Decoding file bytes into UTF-8 text.

#include <string>
#include <string_view>

// Bytes without a byte-order mark, as the "system code page": kept when they are valid UTF-8, otherwise read
// as Windows-1252.
std::string DecodeAnsi(std::string_view bytes);
// Windows-1252 bytes to UTF-8.
std::string DecodeWindows1252(std::string_view bytes);
// UTF-16 little-endian bytes (no mark) to UTF-8; lone surrogates become U+FFFD.
std::string DecodeUtf16LE(std::string_view bytes);
