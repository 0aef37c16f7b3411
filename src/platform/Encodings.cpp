#include "platform/Encodings.h"

#include "platform/CVStrings.h"

namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes keep their own code.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

std::string DecodeWindows1252(std::string_view bytes) {
    std::string result;
    result.reserve(bytes.size() + bytes.size() / 4);
    for (char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (c < 0x80)
            result += b;
        else if (c < 0xA0)
            AppendUtf8(result, kCp1252High[c - 0x80]);
        else
            AppendUtf8(result, c);
    }
    return result;
}

std::string DecodeAnsi(std::string_view bytes) {
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return DecodeWindows1252(bytes);
}

std::string DecodeUtf16LE(std::string_view bytes) {
    std::string result;
    result.reserve(bytes.size());
    const std::size_t count = bytes.size() / 2;
    const auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    };
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            AppendUtf8(result, c);
            ++i;
        } else {
            AppendUtf8(result, u); // a lone surrogate becomes U+FFFD
        }
    }
    return result;
}
