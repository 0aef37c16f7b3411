#include "platform/Guids.h"

#include "platform/CVStrings.h"

#include <array>
#include <random>
#include <sys/random.h>

namespace {

// When the system generator fails, a random number below 2147483647 in decimal stands in.
std::string FallbackIdentity() {
    std::random_device device;
    std::uniform_int_distribution<int> distribution(0, 2147483646);
    return std::to_string(distribution(device));
}

bool RandomBytes(std::array<unsigned char, 16>& bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got <= 0)
            return false;
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

std::string EncodeBase64Url(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string result;
    result.reserve((bytes.size() * 4 + 2) / 3);
    std::size_t i = 0;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        result += kAlphabet[(v >> 18) & 63];
        result += kAlphabet[(v >> 12) & 63];
        result += kAlphabet[(v >> 6) & 63];
        result += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const unsigned v = byte(i) << 16;
        result += kAlphabet[(v >> 18) & 63];
        result += kAlphabet[(v >> 12) & 63];
    } else if (rest == 2) {
        const unsigned v = (byte(i) << 16) | (byte(i + 1) << 8);
        result += kAlphabet[(v >> 18) & 63];
        result += kAlphabet[(v >> 12) & 63];
        result += kAlphabet[(v >> 6) & 63];
    }
    return result;
}

std::string NewElementGuid() {
    std::array<unsigned char, 16> bytes{};
    if (!RandomBytes(bytes))
        return FallbackIdentity();
    return EncodeBase64Url(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string NewDocumentGuid() {
    std::array<unsigned char, 16> bytes{};
    if (!RandomBytes(bytes))
        return FallbackIdentity();
    std::string result;
    for (unsigned char b : bytes)
        result += Format("%02X", b);
    return result;
}
