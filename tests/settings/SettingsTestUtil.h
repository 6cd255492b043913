#pragma once
// Helpers shared by the settings tests: Japanese literals as code page 932 bytes, fixture files, and a
// field-by-field view of a TConfig that the tests compare.

#include "TestPaths.h"
#include "platform/Codepage.h"
#include "settings/ConfigFields.h"
#include "settings/ConfigUnit.h"
#include "text/Sjis.h"

#include <QFile>
#include <QString>
#include <string>
#include <vector>

namespace settingstest {

inline std::string S(std::u8string_view utf8)
{
    return text::Sjis(utf8);
}

inline QString FixturePath(const char* name)
{
    return QStringLiteral(QUILLMAP_TESTS_DIR "/fixtures/settings/") + QString::fromLatin1(name);
}

// Control characters escaped the way `quillmap settings` prints them.
inline std::string Escape(const std::string& utf8)
{
    std::string out;
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (b < 0x20 || b == 0x7F) {
            static const char* hex = "0123456789ABCDEF";
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else
            out += c;
    }
    return out;
}

// "Section/Key=value" for every field, values as UTF-8 (lists joined with ","), in table order. With
// asUtf8 false the values keep their code page 932 bytes (nothing is lost to conversion).
inline std::vector<std::string> Describe(const settings::TConfig& config, bool asUtf8 = true)
{
    const auto show = [asUtf8](const std::string& cp932) {
        return Escape(asUtf8 ? platform::Cp932ToUtf8(cp932) : cp932);
    };
    using namespace settings;
    std::vector<std::string> lines;
    for (const ConfigField& f : ConfigFields()) {
        std::string value;
        if (const auto* n = std::get_if<IntegerMember>(&f.member)) {
            value = std::to_string(config.**n);
        } else if (const auto* l = std::get_if<ListMember>(&f.member)) {
            if (!(config.**l))
                value = "<no list>";
            else
                for (size_t i = 0; i < (config.**l)->size(); ++i)
                    value += (i ? "," : "") + show((*(config.**l))[i]);
        } else {
            value = show(config.*std::get<TextMember>(f.member));
        }
        lines.push_back(std::string(f.section) + "/" + f.key + "=" + value);
    }
    return lines;
}

inline std::vector<std::string> ReadLines(const QString& path)
{
    QFile f(path);
    std::vector<std::string> lines;
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    while (!f.atEnd()) {
        QByteArray line = f.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        lines.push_back(line.toStdString());
    }
    return lines;
}

} // namespace settingstest
