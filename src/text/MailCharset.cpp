#include "text/MailCharset.h"

#include <cstdlib>

namespace mail {

namespace {

// "ja_JP.UTF-8@euro" -> language "ja", territory "JP".
void SplitLocale(std::string_view name, std::string& language, std::string& territory)
{
    const size_t end = name.find_first_of(".@");
    const std::string_view base = name.substr(0, end);
    const size_t underscore = base.find('_');
    language = std::string(base.substr(0, underscore));
    territory =
        underscore == std::string_view::npos ? std::string() : std::string(base.substr(underscore + 1));
    for (char& c : language)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    for (char& c : territory)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
}

std::string EnvironmentLocale()
{
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return {};
}

} // namespace

MailCharset MailCharsetForLocale(std::string_view localeName)
{
    std::string language;
    std::string territory;
    SplitLocale(localeName, language, territory);
    if (language == "ja")
        return {"ISO-2022-JP", 'B', true};
    if (language == "zh")
        return territory == "CN" || territory == "SG" ? MailCharset{"GB2312", 'B', false}
                                                      : MailCharset{"Big5", 'B', false};
    if (language == "ko")
        return {"EUC-KR", 'B', false};
    return {"ISO-8859-1", 'Q', false};
}

const MailCharset& UserMailCharset()
{
    static const MailCharset charset = MailCharsetForLocale(EnvironmentLocale());
    return charset;
}

} // namespace mail
