// Detection of UTF-16/32 JSON files and their conversion to UTF-8 with ICU.
#include "timeline/json_encoding.hpp"

#include <unicode/ucnv.h>      // ucnv_open, ucnv_toAlgorithmic
#include <unicode/ucnv_err.h>  // UCNV_TO_U_CALLBACK_STOP

#include <climits>  // INT32_MAX
#include <memory>   // std::unique_ptr

namespace qs {
namespace {

bool startsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.compare(0, prefix.size(), prefix) == 0;
}

const char* converterName(JsonEncoding encoding) {
    switch (encoding) {
    case JsonEncoding::utf16LE: return "UTF-16LE";
    case JsonEncoding::utf16BE: return "UTF-16BE";
    case JsonEncoding::utf32LE: return "UTF-32LE";
    case JsonEncoding::utf32BE: return "UTF-32BE";
    case JsonEncoding::utf8: break;
    }
    return "UTF-8";
}

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

}  // namespace

DetectedEncoding detectJsonEncoding(std::string_view bytes) {
    using namespace std::string_view_literals;
    // The UTF-32 marks first: FF FE 00 00 also begins with the UTF-16LE mark.
    if (startsWith(bytes, "\x00\x00\xFE\xFF"sv)) return {JsonEncoding::utf32BE, 4};
    if (startsWith(bytes, "\xFF\xFE\x00\x00"sv)) return {JsonEncoding::utf32LE, 4};
    if (startsWith(bytes, "\xEF\xBB\xBF"sv)) return {JsonEncoding::utf8, 3};
    if (startsWith(bytes, "\xFE\xFF"sv)) return {JsonEncoding::utf16BE, 2};
    if (startsWith(bytes, "\xFF\xFE"sv)) return {JsonEncoding::utf16LE, 2};

    auto nul = [&](size_t i) { return i < bytes.size() && bytes[i] == '\0'; };
    if (bytes.size() >= 4) {
        if (nul(0) && nul(1) && nul(2) && !nul(3)) return {JsonEncoding::utf32BE, 0};
        if (!nul(0) && nul(1) && nul(2) && nul(3)) return {JsonEncoding::utf32LE, 0};
        if (nul(0) && !nul(1) && nul(2) && !nul(3)) return {JsonEncoding::utf16BE, 0};
        if (!nul(0) && nul(1) && !nul(2) && nul(3)) return {JsonEncoding::utf16LE, 0};
    } else if (bytes.size() >= 2) {
        if (nul(0) && !nul(1)) return {JsonEncoding::utf16BE, 0};
        if (!nul(0) && nul(1)) return {JsonEncoding::utf16LE, 0};
    }
    return {JsonEncoding::utf8, 0};
}

bool convertToUtf8(std::string_view bytes, JsonEncoding encoding, std::string& out, size_t padding) {
    // Two bytes of UTF-16 make at most three of UTF-8; four of UTF-32 at most four.
    size_t capacity = bytes.size() / 2 * 3 + 4;
    if (capacity > INT32_MAX) return false;

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(converterName(encoding), &status));
    if (U_FAILURE(status)) return false;
    // An unpaired surrogate or a cut-off unit is an unreadable file, not a
    // character to paper over with U+FFFD.
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status)) return false;

    out.resize(capacity + padding);
    int32_t written = ucnv_toAlgorithmic(UCNV_UTF8, converter.get(), out.data(), static_cast<int32_t>(capacity),
        bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    // The capacity always leaves room, so only bad input fails here; a
    // missing terminator is a warning and we keep our own length anyway.
    if (U_FAILURE(status)) return false;
    out.resize(static_cast<size_t>(written));
    return true;
}

}  // namespace qs
