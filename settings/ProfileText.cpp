#include "settings/ProfileText.h"

#include <limits>

namespace kestrin {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// ASCII only: names are compared byte for byte apart from letter case, whatever the locale.
char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    }
    return true;
}

// One pair of matching quotes around a value is not part of it.
std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == '"' || value.front() == '\'')) {
        value = Trim(value.substr(1, value.size() - 2));
    }
    return value;
}

std::int64_t LeadingInteger(std::string_view text)
{
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a negative number, whose range is the larger one, and saturated there.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        if (value < (kMin + digit) / 10) {
            value = kMin;
            continue;
        }
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    return value == kMin ? std::numeric_limits<std::int64_t>::max() : -value;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::size_t valueBegin = 0; // offsets into the line's content
    std::size_t valueEnd = 0;
};

ParsedLine Parse(std::string_view content)
{
    const std::string_view trimmed = Trim(content);
    if (trimmed.empty())
        return { LineKind::Blank, {}, 0, 0 };
    if (trimmed.front() == ';' || trimmed.front() == '#')
        return { LineKind::Comment, {}, 0, 0 };
    if (trimmed.front() == '[') {
        const std::size_t close = trimmed.find(']');
        if (close != std::string_view::npos)
            return { LineKind::Section, Trim(trimmed.substr(1, close - 1)), 0, 0 };
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos)
        return { LineKind::Other, {}, 0, 0 };
    std::size_t begin = equals + 1;
    std::size_t end = content.size();
    while (begin < end && IsBlank(content[begin]))
        ++begin;
    while (end > begin && IsBlank(content[end - 1]))
        --end;
    if (begin == end)
        begin = end = equals + 1; // a new value goes right after the equals sign
    return { LineKind::Key, Trim(content.substr(0, equals)), begin, end };
}

} // namespace

ProfileText::ProfileText(std::string bytes)
    : m_bytes(std::move(bytes))
{
    SplitLines();
}

std::int64_t ProfileText::ReadInteger(
    std::string_view section, std::string_view key, std::int64_t defaultValue) const
{
    return StoredInteger(section, key).value_or(defaultValue);
}

std::optional<std::int64_t> ProfileText::StoredInteger(
    std::string_view section, std::string_view key) const
{
    const ValueSpan span = FindValue(FindSection(section), key);
    if (!span.found)
        return std::nullopt;
    const std::string_view value
        = Unquote(std::string_view(m_bytes).substr(span.begin, span.end - span.begin));
    if (value.empty())
        return std::nullopt;
    return LeadingInteger(value);
}

void ProfileText::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    const SectionSpan sectionSpan = FindSection(section);
    if (!sectionSpan.found) {
        const std::string header = "[" + std::string(section) + "]";
        if (m_lines.empty()) {
            const std::string eol(LineEndFor(0));
            m_bytes += header + eol + keyLine + eol;
            SplitLines();
            return;
        }
        const std::size_t last = m_lines.size() - 1;
        Insert(last, header);
        Insert(last + 1, keyLine);
        return;
    }
    const ValueSpan span = FindValue(sectionSpan, key);
    if (span.found) {
        const std::string_view current
            = Unquote(std::string_view(m_bytes).substr(span.begin, span.end - span.begin));
        if (current == value)
            return;
        m_bytes.replace(span.begin, span.end - span.begin, value);
        SplitLines();
        return;
    }
    // After the section's last key, so that blank lines and comments before the next section
    // stay where they are.
    std::size_t after = sectionSpan.headerLine;
    for (std::size_t i = sectionSpan.headerLine + 1; i < sectionSpan.endLine; ++i) {
        if (Parse(Content(m_lines[i])).kind == LineKind::Key)
            after = i;
    }
    Insert(after, keyLine);
}

void ProfileText::SplitLines()
{
    m_lines.clear();
    std::size_t pos
        = std::string_view(m_bytes).starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    while (pos < m_bytes.size()) {
        const std::size_t brk = m_bytes.find_first_of("\r\n", pos);
        if (brk == std::string::npos) {
            m_lines.push_back({ pos, m_bytes.size(), m_bytes.size() });
            break;
        }
        const bool crlf
            = m_bytes[brk] == '\r' && brk + 1 < m_bytes.size() && m_bytes[brk + 1] == '\n';
        const std::size_t end = brk + (crlf ? 2 : 1);
        m_lines.push_back({ pos, brk, end });
        pos = end;
    }
}

std::string_view ProfileText::Content(const Line& line) const
{
    return std::string_view(m_bytes).substr(line.begin, line.contentEnd - line.begin);
}

ProfileText::SectionSpan ProfileText::FindSection(std::string_view section) const
{
    SectionSpan span;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const ParsedLine parsed = Parse(Content(m_lines[i]));
        if (parsed.kind != LineKind::Section)
            continue;
        if (span.found) {
            span.endLine = i;
            return span;
        }
        if (EqualIgnoringCase(parsed.name, Trim(section))) {
            span.found = true;
            span.headerLine = i;
        }
    }
    span.endLine = m_lines.size();
    return span;
}

ProfileText::ValueSpan ProfileText::FindValue(
    const SectionSpan& section, std::string_view key) const
{
    if (!section.found)
        return {};
    for (std::size_t i = section.headerLine + 1; i < section.endLine; ++i) {
        const ParsedLine parsed = Parse(Content(m_lines[i]));
        if (parsed.kind == LineKind::Key && EqualIgnoringCase(parsed.name, Trim(key)))
            return { true, m_lines[i].begin + parsed.valueBegin,
                m_lines[i].begin + parsed.valueEnd };
    }
    return {};
}

std::string_view ProfileText::LineEndFor(std::size_t lineIndex) const
{
    auto ending = [this](const Line& line) {
        return std::string_view(m_bytes).substr(line.contentEnd, line.end - line.contentEnd);
    };
    if (lineIndex < m_lines.size() && !ending(m_lines[lineIndex]).empty())
        return ending(m_lines[lineIndex]);
    for (const Line& line : m_lines) {
        if (!ending(line).empty())
            return ending(line);
    }
    return "\n";
}

void ProfileText::Insert(std::size_t afterLine, std::string_view content)
{
    const Line& line = m_lines[afterLine];
    const std::string eol(LineEndFor(afterLine));
    std::string added = line.contentEnd == line.end ? eol : std::string();
    added += content;
    added += eol;
    m_bytes.insert(line.end, added);
    SplitLines();
}

} // namespace kestrin
