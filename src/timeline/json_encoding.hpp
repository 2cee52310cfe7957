// Which Unicode encoding a JSON file is in, and its UTF-8 form.
#pragma once

#include <cstddef>      // size_t
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace qs {

enum class JsonEncoding { utf8, utf16LE, utf16BE, utf32LE, utf32BE };

struct DetectedEncoding {
    JsonEncoding encoding = JsonEncoding::utf8;
    size_t bomLength = 0;  // bytes of byte-order mark to skip
};

// As JSON readers have always told: a byte-order mark if there is one, else
// the pattern of NUL bytes among the first four (JSON text starts with ASCII).
DetectedEncoding detectJsonEncoding(std::string_view bytes);

// Converts UTF-16/32 text (without its byte-order mark) to UTF-8 into `out`,
// reusing its memory and leaving `padding` spare bytes of capacity after the
// text. False when the text is not well-formed in that encoding.
bool convertToUtf8(std::string_view bytes, JsonEncoding encoding, std::string& out, size_t padding);

}  // namespace qs
