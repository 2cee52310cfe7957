// Escapes that name half of a surrogate pair without the other half.
#pragma once

#include <cstddef>  // size_t

namespace qs {

// Rewrites every "\u" escape of a lone surrogate ("\ud800" with no low half
// after it, a low half alone) in `text` to "\ufffd", in place and at the same
// length, so a strict reader takes the text with U+FFFD there instead of
// refusing it whole. Escaped backslashes are stepped over; the text need not
// be valid JSON. True when anything was rewritten.
bool replaceLoneSurrogateEscapes(char* text, size_t length);

}  // namespace qs
