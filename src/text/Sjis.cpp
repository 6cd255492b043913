#include "text/Sjis.h"

#include "platform/Codepage.h"

namespace text {

std::string Sjis(std::u8string_view utf8)
{
    return platform::Utf8ToCp932(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
}

} // namespace text
