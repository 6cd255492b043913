#pragma once
// Mail addresses of the authenticating client: one address with an optional display name, and a
// list of them read from a comma-separated text such as the recipient setting.

#include <string>
#include <string_view>
#include <vector>

namespace net {

class TIdEMailAddressItem
{
public:
    TIdEMailAddressItem() = default;
    explicit TIdEMailAddressItem(std::string_view text) { SetText(text); }

    // Reads "Name <address>", "address (Name)" or a bare address. Both parts are trimmed of spaces;
    // a name in double or single quotes loses them.
    void SetText(std::string_view text);

    std::string Address;
    std::string Name;
};

class TIdEMailAddressList
{
public:
    // Empties the list and reads the items of a comma-separated text; a comma inside a quoted
    // display name does not end the item, and empty pieces are skipped.
    void SetText(std::string_view text);

    void Add(TIdEMailAddressItem item) { m_items.push_back(std::move(item)); }
    void Clear() { m_items.clear(); }
    size_t Count() const { return m_items.size(); }
    bool Empty() const { return m_items.empty(); }
    const TIdEMailAddressItem& operator[](size_t i) const { return m_items[i]; }
    std::vector<TIdEMailAddressItem>::const_iterator begin() const { return m_items.begin(); }
    std::vector<TIdEMailAddressItem>::const_iterator end() const { return m_items.end(); }

private:
    std::vector<TIdEMailAddressItem> m_items;
};

} // namespace net
