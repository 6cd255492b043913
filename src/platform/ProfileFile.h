#pragma once
// A profile (INI) file held in memory: load it once, read and write keys, save it once. It behaves
// like the Windows profile functions that wrote the settings files this program still reads:
//  - section and key names match without regard to letter case;
//  - of several sections with one name only the first is read and written; the others are kept as
//    they are but their keys do not count;
//  - a missing section or key, or a key line without "=", gives the caller's default;
//  - a string value is cut at 2047 bytes (never in the middle of a double-byte character);
//  - integers are decimal, or hexadecimal after "0x", "0X" or "$"; anything else gives the default;
//  - a value enclosed in matching single or double quotes is read without them;
//  - writing replaces a value where it stands, adds a new key at the end of its section and a new
//    section at the end of the file; comments, blank lines and unknown keys are kept.
// The file is code page 932 text; CR LF, LF and CR line ends are read alike and CR LF is written.

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileFile
{
public:
    // The longest string value a read gives back, in bytes of code page 932.
    static constexpr size_t kMaxValueBytes = 2047;

    enum class LoadResult {
        Loaded,
        Missing,
        Unreadable,
    };

    explicit ProfileFile(QString path);

    // Replaces the document by the file's contents. A missing or unreadable file leaves an empty
    // document.
    LoadResult Load();
    // Replaces the document by the given file contents (for callers that already hold the bytes).
    void Parse(std::string_view bytes);

    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t def) const;
    // Whether the key exists with a value ("key=..." in the section).
    bool HasValue(std::string_view section, std::string_view key) const;
    // The names of the keys with a value in the section, in file order (a name given twice once).
    std::vector<std::string> KeyNames(std::string_view section) const;

    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
    // Takes the key out of its section (every line of that name in the section that counts), so that
    // reading it gives the caller's default again; the section itself stays.
    void DeleteKey(std::string_view section, std::string_view key);

    // The document as the bytes Save writes.
    std::string Contents() const;

    // Writes the whole document to a temporary file beside the target and renames it over the target,
    // so the file on disk is either the old one or the complete new one. A new file gets mode 0600; an
    // existing one keeps its mode. False (with a reason in error, if given) when that fails.
    bool Save(QString* error = nullptr) const;

    const QString& Path() const { return m_path; }

    // Parses an integer value as the profile functions do; false when the text is not an integer.
    static bool ParseInteger(std::string_view text, std::int32_t& value);
    // The stored form of a value: quoted when reading it back would otherwise lose blanks or quotes,
    // with CR and LF (which would split the line) turned into blanks and cut at a NUL byte.
    static std::string EncodeValue(std::string_view value);
    // What a read gives for a stored value: blanks trimmed, one pair of enclosing quotes removed, cut
    // at kMaxValueBytes.
    static std::string DecodeValue(std::string_view stored);

private:
    struct Line
    {
        std::string text;   // the line as stored, without its line end
        bool isKey = false; // a "key=value" line or a bare name (which reads as missing)
        bool hasValue = false;
        std::string key;    // trimmed key name
        size_t valueAt = 0; // offset of the value (after "=") in text
    };
    struct Section
    {
        bool hasHeader = false;  // false only for the lines before the first header
        std::string name;        // trimmed section name
        std::vector<Line> lines; // the header line is lines[0] when hasHeader
    };
    struct Position
    {
        size_t section;
        size_t line;
    };

    static Line ParseLine(std::string_view text);
    // The index of the first section of that name, or m_sections.size().
    size_t FindSection(std::string_view section) const;
    bool FindKey(std::string_view section, std::string_view key, Position& at) const;
    size_t FindOrAddSection(std::string_view section);

    QString m_path;
    std::vector<Section> m_sections;
};

} // namespace platform
