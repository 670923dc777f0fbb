#pragma once

#include <string>
#include <string_view>

namespace kestrin {

// How a profile file's characters are stored, told by its byte-order mark: UTF-16 little or big
// endian after FF FE or FE FF, as editors save "Unicode" text; otherwise single bytes (ASCII,
// UTF-8, anything else), taken as they are. Decode gives the single-byte text that ProfileText
// reads and edits; Encode turns such a text back into the file's own encoding. The two are exact
// inverses: Encode(Decode(bytes)) == bytes for any bytes, odd lengths and lone surrogates
// included, so that a save keeps every character it does not change. Nothing is validated.
class ProfileEncoding {
public:
    static ProfileEncoding Of(std::string_view fileBytes);

    bool IsUtf16() const { return m_kind != Kind::Bytes; }

    // ASCII code units become their byte; any other code unit becomes the two or three bytes of
    // its UTF-8 form (surrogates one by one), which hold no ASCII byte. The mark is dropped.
    std::string Decode(std::string_view fileBytes) const;
    // The mark first, then the text's code units, then a stray last byte the file had.
    std::string Encode(std::string_view text) const;

private:
    enum class Kind { Bytes, Utf16Le, Utf16Be };

    Kind m_kind = Kind::Bytes;
    std::string m_strayByte; // after the last whole code unit of a UTF-16 file
};

} // namespace kestrin
