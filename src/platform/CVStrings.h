#pragma once

// Text and number helpers shared by every subsystem. Strings are UTF-8; numbers in documents and settings
// always use "." whatever the process locale.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Root of the system's exceptions; the message is the user-visible text.
class ECVException : public std::runtime_error {
public:
    explicit ECVException(const std::string& message) : std::runtime_error(message) {}
};

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ASCII case folding, for names in files.
bool SameText(std::string_view a, std::string_view b);
std::string LowerAscii(std::string_view s);
bool StartsWithText(std::string_view s, std::string_view prefix);

// Every CR LF pair, lone CR, lone LF and U+2028 becomes the replacement.
std::string ReplaceLineBreaks(std::string_view text, std::string_view replacement);

// Removes characters up to U+0020 at both ends (bytes 0..32).
std::string Trim(std::string_view s);

// Locale-independent numbers. Parsing takes the whole string (no surrounding text) and refuses NaN and infinity.
std::optional<std::int64_t> ParseInt64(std::string_view s);
std::optional<int> ParseInt(std::string_view s);
std::optional<double> ParseFloat(std::string_view s);
// Shortest general form with up to 15 significant digits: 1.5, 0.333333333333333.
std::string FormatFloat(double value);
// Fixed notation with exactly two decimals: 100.00, -3.50.
std::string FormatFixed(double value);
// Half to even, as every "round" of the system.
std::int64_t RoundHalfEven(double value);

// UTF-8 helpers. Invalid sequences are never produced by our own decoders.
bool IsValidUtf8(std::string_view s);
// Replaces every invalid sequence by U+FFFD.
std::string SanitizeUtf8(std::string_view s);
void AppendUtf8(std::string& out, char32_t codePoint);
// Decodes the code point starting at s[pos] and advances pos; invalid bytes give U+FFFD and advance by one.
char32_t NextCodePoint(std::string_view s, std::size_t& pos);
std::size_t CodePointCount(std::string_view s);
std::u32string ToUtf32(std::string_view s);
std::string FromUtf32(std::u32string_view s);
