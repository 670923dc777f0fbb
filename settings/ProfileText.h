#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrin {

// The bytes of a private profile (INI) file, read and edited the way hand-edited files expect:
// section and key names match regardless of case and surrounding blanks, the first section and
// the first line of a key count, LF, CRLF and lone CR line ends, a UTF-8 byte-order mark and lines
// starting with ';' or '#' are accepted. Setting a value changes only the bytes it must. It knows
// nothing of the disk.
class ProfileText {
public:
    explicit ProfileText(std::string bytes = {});

    // The decimal integer the key's value starts with (optional sign; 0 when it does not start
    // with a digit), saturated at the 64-bit limits so that a long number is never wrapped; the
    // default when the section or key is missing or the value is empty.
    std::int64_t ReadInteger(
        std::string_view section, std::string_view key, std::int64_t defaultValue) const;
    // The same integer, or nothing when the section or key is missing or the value is empty.
    std::optional<std::int64_t> StoredInteger(std::string_view section, std::string_view key) const;

    // Replaces the key's value where it stands, or adds the key at the end of its section, or the
    // section at the end of the text. Leaves the text as it is when the value already reads so.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    const std::string& Bytes() const { return m_bytes; }

private:
    struct Line {
        std::size_t begin = 0;
        std::size_t contentEnd = 0; // where the line end starts
        std::size_t end = 0; // after the line end
    };

    // Where a section's header stands and which lines belong to it.
    struct SectionSpan {
        bool found = false;
        std::size_t headerLine = 0;
        std::size_t endLine = 0; // one past its last line
    };

    // A key line's value, trimmed, quotes included.
    struct ValueSpan {
        bool found = false;
        std::size_t begin = 0;
        std::size_t end = 0;
    };

    void SplitLines();
    std::string_view Content(const Line& line) const;
    SectionSpan FindSection(std::string_view section) const;
    ValueSpan FindValue(const SectionSpan& section, std::string_view key) const;
    std::string_view LineEndFor(std::size_t lineIndex) const;
    void Insert(std::size_t afterLine, std::string_view content);

    std::string m_bytes;
    std::vector<Line> m_lines;
};

} // namespace kestrin
