#include "net/IdEMailAddress.h"

#include "net/NetText.h"
namespace net {

namespace {

// "'Taro'" and "\"Taro\"" name the same person as "Taro"; nested pairs go too.
std::string Unquote(std::string name)
{
    while (name.size() >= 2 && (name.front() == '"' || name.front() == '\'') && name.back() == name.front())
        name = name.substr(1, name.size() - 2);
    return name;
}

} // namespace

void TIdEMailAddressItem::SetText(std::string_view text)
{
    std::string_view address = text;
    std::string_view name;
    // A text that ends like one of the two named forms but lacks its opening bracket is taken as a
    // bare address: the server then judges it, and nothing the user wrote is dropped.
    if (!text.empty() && text.back() == '>' && text.find('<') != std::string_view::npos) {
        const size_t open = text.find('<');
        address = text.substr(open + 1, text.size() - open - 2);
        name = text.substr(0, open);
    } else if (!text.empty() && text.back() == ')' && text.find('(') != std::string_view::npos) {
        const size_t open = text.find('(');
        address = text.substr(0, open);
        name = text.substr(open + 1, text.size() - open - 2);
    }
    Address = TrimBlanks(address);
    Name = Unquote(TrimBlanks(name));
}

void TIdEMailAddressList::SetText(std::string_view text)
{
    m_items.clear();
    size_t start = 0;
    int quotes = 0;
    const auto addPiece = [this, &text](size_t from, size_t to) {
        const std::string piece = TrimBlanks(text.substr(from, to - from));
        if (!piece.empty())
            m_items.emplace_back(piece);
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            ++quotes;
        } else if (text[i] == ',' && quotes != 1) {
            addPiece(start, i);
            start = i + 1;
            quotes = 0;
        }
    }
    addPiece(start, text.size());
}

} // namespace net
