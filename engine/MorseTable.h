#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kestrin {

// The fixed table from a printable character to its Morse pattern ("." dot, "-" dash). Holds
// upper-case letters, digits and punctuation only: callers upper-case first, and the lookup itself
// neither folds case nor trims.
class MorseTable {
public:
    struct Row {
        std::string_view character;
        std::string_view pattern;
    };

    static constexpr std::size_t kRowCount = 48;

    // The pattern of the row whose character equals ch byte for byte, if any. Only a
    // one-character string can match.
    constexpr std::optional<std::string_view> Lookup(std::string_view ch) const
    {
        for (const Row& row : m_rows) {
            if (row.character == ch)
                return row.pattern;
        }
        return std::nullopt;
    }

    constexpr const std::array<Row, kRowCount>& Rows() const { return m_rows; }

private:
    std::array<Row, kRowCount> m_rows { {
        { "A", ".-" },
        { "B", "-..." },
        { "C", "-.-." },
        { "D", "-.." },
        { "E", "." },
        { "F", "..-." },
        { "G", "--." },
        { "H", "...." },
        { "I", ".." },
        { "J", ".---" },
        { "K", "-.-" },
        { "L", ".-.." },
        { "M", "--" },
        { "N", "-." },
        { "O", "---" },
        { "P", ".--." },
        { "Q", "--.-" },
        { "R", ".-." },
        { "S", "..." },
        { "T", "-" },
        { "U", "..-" },
        { "V", "...-" },
        { "W", ".--" },
        { "X", "-..-" },
        { "Y", "-.--" },
        { "Z", "--.." },
        { "0", "-----" },
        { "1", ".----" },
        { "2", "..---" },
        { "3", "...--" },
        { "4", "....-" },
        { "5", "....." },
        { "6", "-...." },
        { "7", "--..." },
        { "8", "---.." },
        { "9", "----." },
        { ".", ".-.-.-" },
        { ",", "--..--" },
        { ":", "---..." },
        { "?", "..--.." },
        { "'", ".----." },
        { "-", "-....-" },
        { "/", "-..-." },
        { "(", "-.--." },
        { ")", "-.--.-" },
        { "=", "-...-" },
        { "\"", ".-..-." },
        { "!", "-.-.--" },
    } };
};

// Built at compile time, so it exists before any other static object and never changes.
inline constexpr MorseTable kMorseTable {};

} // namespace kestrin
