#include "platform/CVStrings.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int size = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (size > 0) {
        result.resize(static_cast<std::size_t>(size) + 1);
        std::vsnprintf(result.data(), result.size(), format, args);
        result.resize(static_cast<std::size_t>(size));
    }
    va_end(args);
    return result;
}

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

std::string LowerAscii(std::string_view s) {
    std::string result(s);
    for (char& c : result)
        c = FoldAscii(c);
    return result;
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

std::string ReplaceLineBreaks(std::string_view text, std::string_view replacement) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = NextCodePoint(text, pos);
        if (c == '\r' || c == '\n' || c == 0x2028) {
            if (c == '\r' && pos < text.size() && text[pos] == '\n')
                ++pos;
            result += replacement;
        } else {
            result.append(text, start, pos - start);
        }
    }
    return result;
}

std::string Trim(std::string_view s) {
    std::size_t first = 0;
    std::size_t last = s.size();
    while (first < last && static_cast<unsigned char>(s[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(s[last - 1]) <= 32)
        --last;
    return std::string(s.substr(first, last - first));
}

std::optional<std::int64_t> ParseInt64(std::string_view s) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '-' || s.front() == '+'))
            return std::nullopt;
    }
    if (s.empty())
        return std::nullopt;
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

std::optional<int> ParseInt(std::string_view s) {
    const auto value = ParseInt64(s);
    if (!value || *value < INT32_MIN || *value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<double> ParseFloat(std::string_view s) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && (s.front() == '-' || s.front() == '+'))
            return std::nullopt;
    }
    if (s.empty())
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::general);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string FormatFloat(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    if (ec != std::errc())
        return "0";
    std::string result(buffer, end);
    return result == "-0" ? "0" : result;
}

std::string FormatFixed(double value) {
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    if (ec != std::errc())
        return "0.00";
    std::string result(buffer, end);
    return result == "-0.00" ? "0.00" : result;
}

std::int64_t RoundHalfEven(double value) {
    if (!std::isfinite(value))
        return 0;
    const double rounded = std::nearbyint(value);
    if (rounded >= 9.2e18)
        return INT64_MAX;
    if (rounded <= -9.2e18)
        return INT64_MIN;
    return static_cast<std::int64_t>(rounded);
}

bool IsValidUtf8(std::string_view s) {
    std::size_t pos = 0;
    while (pos < s.size()) {
        // runs of ASCII, the bulk of every document, are passed over eight bytes at a time
        while (s.size() - pos >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, s.data() + pos, sizeof word);
            if ((word & 0x8080808080808080ull) != 0)
                break;
            pos += 8;
        }
        if (pos >= s.size())
            break;
        const std::size_t before = pos;
        // a real U+FFFD is three bytes long; a decoding failure advances by one byte
        if (NextCodePoint(s, pos) == 0xFFFD && pos - before != 3)
            return false;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view s) {
    if (IsValidUtf8(s))
        return std::string(s);
    std::string result;
    result.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();)
        AppendUtf8(result, NextCodePoint(s, pos));
    return result;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t NextCodePoint(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07u, minimum = 0x10000;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (pos + length > s.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        c = (c << 6) | (next & 0x3Fu);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++pos;
        return 0xFFFD;
    }
    pos += length;
    return c;
}

std::size_t CodePointCount(std::string_view s) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < s.size(); ++count)
        NextCodePoint(s, pos);
    return count;
}

std::u32string ToUtf32(std::string_view s) {
    std::u32string result;
    result.reserve(s.size());
    for (std::size_t pos = 0; pos < s.size();)
        result += NextCodePoint(s, pos);
    return result;
}

std::string FromUtf32(std::u32string_view s) {
    std::string result;
    result.reserve(s.size());
    for (char32_t c : s)
        AppendUtf8(result, c);
    return result;
}
