// The global address search on any status page: the automatic search, the search after a key (the
// first line of the input), the page code normalisation, and the source viewer's "next address"
// walked through the whole page as a user clicking on would.
#include "FuzzInput.h"
#include "core/AddressSearch.h"

#include <string>

namespace {

// A found address is a dotted quad of decimal numbers.
bool LooksLikeAddress(const std::string& text)
{
    if (text.empty())
        return true;
    int dots = 0;
    for (const char c : text) {
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return false;
    }
    return dots == 3 && text.size() <= 15;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const std::string_view key = input.Line();
    const std::string_view page = input.Rest();

    fuzz::Check(LooksLikeAddress(core::SearchAddressAuto(page)), "the automatic search gives an address");
    fuzz::Check(LooksLikeAddress(core::SearchAddressAfterKey(page, key)), "the key search gives an address");
    core::NormalizePageCode(page);

    core::ByteRange selection{key.size() % (page.size() + 1), 0};
    for (int clicks = 0; clicks < 64; ++clicks) {
        const auto next = core::FindNextAddress(page, selection.start, selection.length);
        if (!next)
            break;
        fuzz::Check(next->length > 0 && next->start + next->length <= page.size(),
                    "a found range is in the page");
        fuzz::Check(clicks == 0 || next->start > selection.start, "the finder moves on");
        selection = *next;
    }
    return 0;
}
