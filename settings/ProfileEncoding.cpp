#include "settings/ProfileEncoding.h"

#include <cstdint>

namespace kestrin {

namespace {

constexpr std::string_view kLittleEndianMark = "\xFF\xFE";
constexpr std::string_view kBigEndianMark = "\xFE\xFF";

std::uint8_t Byte(char c)
{
    return static_cast<std::uint8_t>(c);
}

char Char(unsigned value)
{
    return static_cast<char>(static_cast<std::uint8_t>(value));
}

void AppendUnitAsText(std::string& text, unsigned unit)
{
    if (unit < 0x80) {
        text += Char(unit);
    } else if (unit < 0x800) {
        text += Char(0xC0 | (unit >> 6));
        text += Char(0x80 | (unit & 0x3F));
    } else {
        text += Char(0xE0 | (unit >> 12));
        text += Char(0x80 | ((unit >> 6) & 0x3F));
        text += Char(0x80 | (unit & 0x3F));
    }
}

} // namespace

ProfileEncoding ProfileEncoding::Of(std::string_view fileBytes)
{
    ProfileEncoding encoding;
    if (fileBytes.starts_with(kLittleEndianMark))
        encoding.m_kind = Kind::Utf16Le;
    else if (fileBytes.starts_with(kBigEndianMark))
        encoding.m_kind = Kind::Utf16Be;
    if (encoding.IsUtf16() && fileBytes.size() % 2 != 0)
        encoding.m_strayByte.assign(1, fileBytes.back());
    return encoding;
}

std::string ProfileEncoding::Decode(std::string_view fileBytes) const
{
    if (!IsUtf16())
        return std::string(fileBytes);
    const bool little = m_kind == Kind::Utf16Le;
    std::string text;
    text.reserve(fileBytes.size());
    for (std::size_t i = 2; i + 1 < fileBytes.size(); i += 2) {
        const unsigned first = Byte(fileBytes[i]);
        const unsigned second = Byte(fileBytes[i + 1]);
        AppendUnitAsText(text, little ? first | second << 8 : first << 8 | second);
    }
    return text;
}

std::string ProfileEncoding::Encode(std::string_view text) const
{
    if (!IsUtf16())
        return std::string(text);
    const bool little = m_kind == Kind::Utf16Le;
    std::string bytes(little ? kLittleEndianMark : kBigEndianMark);
    bytes.reserve(2 + 2 * text.size() + m_strayByte.size());
    auto continuation
        = [&](std::size_t at) { return at < text.size() && (Byte(text[at]) & 0xC0) == 0x80; };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned lead = Byte(text[i]);
        unsigned unit = lead;
        std::size_t length = 1;
        // Only Decode's own forms and inserted ASCII occur; any other byte stands for itself.
        if (lead >= 0xE0 && lead < 0xF0 && continuation(i + 1) && continuation(i + 2)) {
            unit = (lead & 0x0Fu) << 12 | (Byte(text[i + 1]) & 0x3Fu) << 6
                | (Byte(text[i + 2]) & 0x3Fu);
            length = 3;
        } else if (lead >= 0xC0 && lead < 0xE0 && continuation(i + 1)) {
            unit = (lead & 0x1Fu) << 6 | (Byte(text[i + 1]) & 0x3Fu);
            length = 2;
        }
        bytes += little ? Char(unit & 0xFF) : Char(unit >> 8);
        bytes += little ? Char(unit >> 8) : Char(unit & 0xFF);
        i += length;
    }
    bytes += m_strayByte;
    return bytes;
}

} // namespace kestrin
