// UTF-8, one character at a time, for the converters between it and other
// encodings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// One character from text[i], i advanced past it. A sequence that is not
// well-formed UTF-8 (a byte that cannot start one, a cut sequence, a longer
// form than needed, an encoded surrogate, a value past U+10FFFF) gives U+FFFD
// and only its first byte is taken, so the bytes after it are read again on
// their own.
char32_t NextUtf8(std::string_view text, std::size_t& i);

// c in one to four bytes.
void AppendUtf8(std::string& out, char32_t c);
