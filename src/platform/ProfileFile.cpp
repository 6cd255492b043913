#include "platform/ProfileFile.h"

#include "platform/HexDigit.h"
#include "platform/LeadByte.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <utility>

namespace platform {

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Names compare without regard to the case of single-byte letters; a double-byte character must match
// exactly (its trail byte may look like a letter).
bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<unsigned char>(a[i]))) {
            if (a[i] != b[i] || (i + 1 < a.size() && a[i + 1] != b[i + 1]))
                return false;
            ++i;
            continue;
        }
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

// Byte offset of the last "]" that stands on a character start, or npos.
size_t LastCloseBracket(std::string_view s)
{
    size_t found = std::string_view::npos;
    for (size_t i = 0; i < s.size(); ++i) {
        if (IsDBCSLeadByte(static_cast<unsigned char>(s[i])))
            ++i;
        else if (s[i] == ']')
            found = i;
    }
    return found;
}

// Cuts a value to at most limit bytes without splitting a double-byte character.
std::string_view CutAtCharacter(std::string_view s, size_t limit)
{
    if (s.size() <= limit)
        return s;
    size_t end = 0;
    while (end < s.size()) {
        const size_t width = IsDBCSLeadByte(static_cast<unsigned char>(s[end])) ? 2 : 1;
        if (end + width > limit)
            break;
        end += width;
    }
    return s.substr(0, end);
}

bool IsQuote(char c)
{
    return c == '"' || c == '\'';
}

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path)) {}

ProfileFile::LoadResult ProfileFile::Load()
{
    m_sections.clear();
    QFile file(m_path);
    if (!file.exists())
        return LoadResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return LoadResult::Unreadable;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return LoadResult::Unreadable;
    Parse(std::string_view(data.constData(), static_cast<size_t>(data.size())));
    return LoadResult::Loaded;
}

ProfileFile::Line ProfileFile::ParseLine(std::string_view text)
{
    Line line;
    line.text = std::string(text);
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == ';')
        return line;
    const size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        // A bare name: a key without a value, which reads as missing.
        line.isKey = true;
        line.key = std::string(trimmed);
        return line;
    }
    const std::string_view name = Trim(text.substr(0, eq));
    if (name.empty())
        return line;
    line.isKey = true;
    line.hasValue = true;
    line.key = std::string(name);
    line.valueAt = eq + 1;
    return line;
}

void ProfileFile::Parse(std::string_view bytes)
{
    m_sections.clear();
    size_t pos = 0;
    while (pos < bytes.size()) {
        // CR LF, LF and a lone CR all end a line, so no value ever holds a line break.
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = bytes.size();
        const std::string_view text = bytes.substr(pos, end - pos);
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r')
            ++pos;
        if (pos < bytes.size() && bytes[pos] == '\n')
            ++pos;

        const std::string_view trimmed = Trim(text);
        const size_t close =
            trimmed.empty() || trimmed.front() != '[' ? std::string_view::npos : LastCloseBracket(trimmed);
        if (close != std::string_view::npos) {
            Section section;
            section.hasHeader = true;
            section.name = std::string(Trim(trimmed.substr(1, close - 1)));
            Line header;
            header.text = std::string(text);
            section.lines.push_back(std::move(header));
            m_sections.push_back(std::move(section));
            continue;
        }
        if (m_sections.empty())
            m_sections.emplace_back();
        m_sections.back().lines.push_back(ParseLine(text));
    }
}

size_t ProfileFile::FindSection(std::string_view section) const
{
    for (size_t s = 0; s < m_sections.size(); ++s)
        if (m_sections[s].hasHeader && SameName(m_sections[s].name, section))
            return s;
    return m_sections.size();
}

bool ProfileFile::FindKey(std::string_view section, std::string_view key, Position& at) const
{
    // Only the first section of a name counts: the Windows profile functions never look past it, so
    // a key under a later header of the same name is not there for them, nor for this program.
    const size_t s = FindSection(section);
    if (s == m_sections.size())
        return false;
    const Section& sec = m_sections[s];
    for (size_t l = 1; l < sec.lines.size(); ++l) {
        if (sec.lines[l].isKey && SameName(sec.lines[l].key, key)) {
            at = {s, l};
            return true;
        }
    }
    return false;
}

bool ProfileFile::HasValue(std::string_view section, std::string_view key) const
{
    Position at{};
    return FindKey(section, key, at) && m_sections[at.section].lines[at.line].hasValue;
}

std::vector<std::string> ProfileFile::KeyNames(std::string_view section) const
{
    std::vector<std::string> names;
    const size_t s = FindSection(section);
    if (s == m_sections.size())
        return names;
    for (const Line& line : m_sections[s].lines) {
        if (!line.isKey || !line.hasValue || line.key.empty())
            continue;
        bool seen = false;
        for (const std::string& name : names)
            seen = seen || SameName(name, line.key);
        if (!seen)
            names.push_back(line.key);
    }
    return names;
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view def) const
{
    Position at{};
    if (!FindKey(section, key, at))
        return std::string(def);
    const Line& line = m_sections[at.section].lines[at.line];
    if (!line.hasValue)
        return std::string(def);
    return DecodeValue(std::string_view(line.text).substr(line.valueAt));
}

std::int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const
{
    if (!HasValue(section, key))
        return def;
    std::int32_t value = 0;
    return ParseInteger(ReadString(section, key, {}), value) ? value : def;
}

size_t ProfileFile::FindOrAddSection(std::string_view section)
{
    if (const size_t s = FindSection(section); s != m_sections.size())
        return s;
    // A blank line sets the new section off from the text before it.
    if (!m_sections.empty()) {
        std::vector<Line>& last = m_sections.back().lines;
        if (!last.empty() && !Trim(last.back().text).empty())
            last.push_back(Line{});
    }
    Section added;
    added.hasHeader = true;
    added.name = std::string(section);
    Line header;
    header.text = "[" + std::string(section) + "]";
    added.lines.push_back(std::move(header));
    m_sections.push_back(std::move(added));
    return m_sections.size() - 1;
}

void ProfileFile::DeleteKey(std::string_view section, std::string_view key)
{
    Position at{};
    while (FindKey(section, key, at)) {
        std::vector<Line>& lines = m_sections[at.section].lines;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at.line));
    }
}

void ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Position at{};
    if (FindKey(section, key, at)) {
        Line& line = m_sections[at.section].lines[at.line];
        line = ParseLine(line.key + "=" + EncodeValue(value));
        return;
    }
    Section& sec = m_sections[FindOrAddSection(section)];
    // After the section's last non-blank line, so blank lines before the next section stay there.
    size_t insertAt = sec.lines.size();
    while (insertAt > 1 && Trim(sec.lines[insertAt - 1].text).empty())
        --insertAt;
    sec.lines.insert(sec.lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                     ParseLine(std::string(key) + "=" + EncodeValue(value)));
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

std::string ProfileFile::Contents() const
{
    std::string out;
    for (const Section& sec : m_sections) {
        for (const Line& line : sec.lines) {
            out += line.text;
            out += "\r\n";
        }
    }
    return out;
}

bool ProfileFile::Save(QString* error) const
{
    const bool existed = QFileInfo::exists(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // The file holds passwords: a new one is for its owner only. An existing one keeps the mode its
    // owner gave it (the temporary file already carries it).
    if (!existed)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const std::string bytes = Contents();
    // The write only fills a buffer: on a full disk the error shows at the flush, which commit() does
    // not report. Flushing here and checking it keeps the temporary file from replacing the old one.
    // Not committed, the temporary file goes away and the old file stays as it was.
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.flush() || file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool ProfileFile::ParseInteger(std::string_view text, std::int32_t& value)
{
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    if (text.starts_with("0x") || text.starts_with("0X") || text.starts_with("$")) {
        text.remove_prefix(text.front() == '$' ? 1 : 2);
        if (text.empty())
            return false;
        for (const char c : text) {
            const int d = HexDigit(c);
            if (d < 0)
                return false;
            magnitude = magnitude * 16 + static_cast<std::uint64_t>(d);
            if (magnitude > 0xFFFFFFFFu)
                return false;
        }
        // Hexadecimal covers the whole 32-bit pattern: $FFFFFFFF is -1.
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative)
            bits = 0u - bits;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (text.empty())
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
        if (magnitude > 2147483648u)
            return false;
    }
    if (!negative && magnitude > 2147483647u)
        return false;
    value = negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::string ProfileFile::EncodeValue(std::string_view value)
{
    const size_t nul = value.find('\0');
    if (nul != std::string_view::npos)
        value = value.substr(0, nul);
    std::string out(value);
    for (char& c : out)
        if (c == '\r' || c == '\n')
            c = ' ';
    const bool blankAtEdge = !out.empty() && (IsBlank(out.front()) || IsBlank(out.back()));
    const bool looksQuoted = out.size() >= 2 && IsQuote(out.front()) && out.back() == out.front();
    if (blankAtEdge || looksQuoted)
        return "\"" + out + "\"";
    return out;
}

std::string ProfileFile::DecodeValue(std::string_view stored)
{
    const size_t nul = stored.find('\0');
    if (nul != std::string_view::npos)
        stored = stored.substr(0, nul);
    stored = Trim(stored);
    if (stored.size() >= 2 && IsQuote(stored.front()) && stored.back() == stored.front())
        stored = stored.substr(1, stored.size() - 2);
    return std::string(CutAtCharacter(stored, kMaxValueBytes));
}

} // namespace platform
