// The day rule, UUIDs and the UTF-8 check of the write tools.
#include "tools/write_support.hpp"

#include <array>    // std::array
#include <cstdint>  // uint8_t, uint32_t
#include <random>   // std::random_device

#include "text/dates.hpp"
#include "text/unicode.hpp"
#include "tools/tool_failure.hpp"

namespace qs::WriteTools {

std::string resolveDay(const std::optional<std::string>& date, const Vault& vault) {
    return date ? *date : Text::localDay(vault.fs().wallNow());
}

std::string newUuid() {
    // std::random_device reads the kernel's random source (getrandom) here.
    static std::random_device device;
    std::array<uint8_t, 16> bytes{};
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t word = device();
        for (size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<uint8_t>(word >> (8 * k));
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant

    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(36);
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += kHex[bytes[i] >> 4];
        out += kHex[bytes[i] & 0x0F];
    }
    return out;
}

void requireUtf8(std::string_view text) {
    if (!Text::isValidUtf8(text)) throw ToolFailure(std::string(kNotUtf8));
}

}  // namespace qs::WriteTools
