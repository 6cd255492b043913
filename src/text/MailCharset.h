#pragma once
// The charset of the authenticating mail path, chosen from the user's locale. The locale is read once
// (LC_ALL, then LC_CTYPE, then LANG, the first that is set and not empty); a Japanese user gets
// ISO-2022-JP with the body converted from code page 932, everyone else gets their bytes unchanged.

#include <string>
#include <string_view>

namespace mail {

struct MailCharset
{
    std::string Name;          // the charset of encoded header words
    char Letter = 'Q';         // the encoding letter of header words, B or Q
    bool ConvertToJis = false; // body lines and header words go through SjisToIso2022Jp

    bool operator==(const MailCharset&) const = default;
};

// The charset for a POSIX locale name such as "ja_JP.UTF-8", "zh_TW", "ko_KR.eucKR" or "C".
MailCharset MailCharsetForLocale(std::string_view localeName);

// The charset of this process's user, from the environment as it was at the first call.
const MailCharset& UserMailCharset();

} // namespace mail
