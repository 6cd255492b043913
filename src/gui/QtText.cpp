#include "gui/QtText.h"

#include "platform/Codepage.h"
#include "text/Sjis.h"

namespace gui {

QString Qs(std::string_view cp932)
{
    return platform::Cp932ToQString(cp932);
}

std::string Cp(const QString& text)
{
    return platform::QStringToCp932(text);
}

QString J(std::u8string_view utf8)
{
    return Qs(text::Sjis(utf8));
}

} // namespace gui
