// The keyed byte substitution that keeps passwords unreadable at a glance in the settings file, and
// the key each password uses.
#include "settings/ConfigUnit.h"

#include "text/VB.h"

#include <algorithm>
#include <array>

namespace settings {

namespace {

bool InAlphabet(unsigned b, ScrambleAlphabet alphabet)
{
    if (alphabet == ScrambleAlphabet::LegacyAlphabet)
        return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    // Every printable ASCII character but the blank and "=", and 0x7F to 0xDF: none of them is trimmed
    // or split off when the profile file is read back.
    return (b >= 0x21 && b <= 0xDF) && b != 0x3D;
}

std::array<unsigned char, 256> BuildTable(int key, ScrambleAlphabet alphabet)
{
    const unsigned k = static_cast<unsigned>(key) & 0xFFu;
    std::array<unsigned char, 256> table{};
    std::array<bool, 256> paired{};
    for (unsigned i = 0; i < 256; ++i)
        table[i] = static_cast<unsigned char>(i); // bytes outside the alphabet stay as they are
    for (unsigned i = 0; i < 256; ++i) {
        if (!InAlphabet(i, alphabet) || paired[i])
            continue;
        // i itself is not yet marked, so the search may end on i (a byte that maps to itself); it
        // always ends, since steps of 7 visit all 256 values.
        unsigned j = i ^ k;
        while (!InAlphabet(j, alphabet) || paired[j])
            j = (j + 7) & 0xFFu;
        table[i] = static_cast<unsigned char>(j);
        table[j] = static_cast<unsigned char>(i);
        paired[i] = true;
        paired[j] = true;
    }
    return table;
}

} // namespace

std::string ScrambleText(std::string_view text, int key, ScrambleAlphabet alphabet)
{
    const std::array<unsigned char, 256> table = BuildTable(key, alphabet);
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return out;
}

int PasswordKey(const TConfig& config, int service)
{
    std::string source;
    switch (service) {
    case psStatus:
        source = config.StatusURL + config.StatusUser;
        break;
    case psFtp:
        source = config.FtpServer + config.FtpUser;
        break;
    case psPop:
        source = config.PopServer + config.PopUser;
        break;
    case psSmtp:
        source = config.SmtpServer + config.SmtpUser;
        break;
    case psDdns:
        source = config.DdnsProvider + config.DdnsUser;
        break;
    case psDdnsToken:
        source = config.DdnsProvider + config.DdnsHosts;
        break;
    default:
        break;
    }
    // As many bytes as the text has characters: with double-byte characters present, the last bytes
    // are left out. The keys of existing settings files depend on exactly this.
    const auto count = static_cast<size_t>(std::max(0L, text::CharLen(source)));
    int sum = 0;
    for (size_t i = 0; i < count && i < source.size(); ++i) {
        const int b = static_cast<unsigned char>(source[i]);
        sum = sum + b > 32767 ? sum + b - 32767 : sum + b;
    }
    return sum;
}

} // namespace settings
