// The mail address list of the recipient setting, from any text: every item read from it keeps its
// address and name free of the separators and blanks that surround them.
#include "FuzzInput.h"
#include "net/IdEMailAddress.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    net::TIdEMailAddressList list;
    list.SetText(text);
    fuzz::Check(list.Count() <= text.size(), "no more items than bytes");
    for (const net::TIdEMailAddressItem& item : list) {
        fuzz::Check(item.Address.size() + item.Name.size() <= text.size(), "an item is made of the text");
        fuzz::Check(!item.Address.starts_with(' ') && !item.Address.ends_with(' '), "the address is trimmed");
        net::TIdEMailAddressItem again(item.Address);
        (void)again;
    }
    return 0;
}
