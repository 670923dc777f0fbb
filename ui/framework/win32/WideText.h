#pragma once

#include <string>
#include <string_view>

namespace kestrin {

// UTF-8, as the templates and the rest of the program hold text, to and from the UTF-16 that the
// wide-character Windows API takes. Invalid input becomes U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

} // namespace kestrin
