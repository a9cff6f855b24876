// UTF-16 to UTF-8, for the progress texts that the library hands over.
#ifndef PINTOVEL_RENDER_UTF16_TEXT_H
#define PINTOVEL_RENDER_UTF16_TEXT_H

#include <string>

namespace pintovel_render {

// Converts a null-terminated UTF-16 text. Surrogate pairs become one code point; an
// unpaired surrogate becomes U+FFFD. A null pointer gives an empty text.
std::string Utf16ToUtf8(const char16_t* text);

// The same for a text of known length.
std::string Utf16ToUtf8(const std::u16string& text);

}  // namespace pintovel_render

#endif  // PINTOVEL_RENDER_UTF16_TEXT_H
