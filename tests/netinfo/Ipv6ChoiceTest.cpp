// The choice of the IPv6 address to publish, over recorded `ip -6 -o addr show` tables of real set-ups:
// SLAAC with privacy addresses, stable-privacy identifiers, several interfaces, a renumbering, and a
// machine with nothing to publish.
#include "netinfo/Ipv6Choice.h"
#include "TestPaths.h"
#include "text/Sjis.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace netinfo;
using platform::Ipv6AddressRecord;
using text::Sjis;

namespace {

std::string Recorded(const char* name)
{
    std::ifstream in(std::string(QUILLMAP_TESTS_DIR "/fixtures/netinfo/ipv6/") + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Ipv6Choice Choose(const char* table, const std::string& iface = {}, const std::string& suffix = {})
{
    const std::string text = Recorded(table);
    EXPECT_FALSE(text.empty()) << table;
    return ChooseIpv6Address(platform::RecordedIpv6AddressSource(text).ReadAddresses(), iface, suffix);
}

const Ipv6Candidate& CandidateOf(const Ipv6Choice& choice, const std::string& address)
{
    for (const Ipv6Candidate& c : choice.candidates)
        if (c.address == address)
            return c;
    ADD_FAILURE() << "no candidate " << address;
    static const Ipv6Candidate none;
    return none;
}

bool Mentions(const std::string& reason, const char8_t* part)
{
    return reason.find(Sjis(part)) != std::string::npos;
}

} // namespace

TEST(Ipv6AddressTable, RecordedOutputKeepsFlagsAndLifetimes)
{
    const std::vector<Ipv6AddressRecord> rows = platform::ParseIpv6AddrOutput(Recorded("renumbered.txt"));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].address, "::1");
    EXPECT_EQ(rows[0].flags & platform::ipv6Permanent, platform::ipv6Permanent) << "no \"dynamic\"";
    EXPECT_EQ(rows[1].interfaceName, "eth0");
    EXPECT_EQ(rows[1].interfaceIndex, 2);
    EXPECT_EQ(rows[1].prefixLength, 64);
    EXPECT_EQ(rows[1].flags, platform::ipv6ManageTempAddr);
    EXPECT_EQ(rows[1].validLifetime, 2591990u);
    EXPECT_EQ(rows[1].preferredLifetime, 604790u);
    EXPECT_EQ(rows[2].flags, platform::ipv6Deprecated | platform::ipv6ManageTempAddr);
    EXPECT_EQ(rows[2].preferredLifetime, 0u);
    EXPECT_EQ(rows[3].flags, platform::ipv6Temporary);
    EXPECT_EQ(rows[4].validLifetime, platform::kIpv6Forever);

    const auto sp = platform::ParseIpv6AddrOutput(Recorded("stable-privacy.txt"));
    ASSERT_EQ(sp.size(), 4u);
    EXPECT_EQ(sp[2].flags, platform::ipv6ManageTempAddr | platform::ipv6StablePrivacy);
    // Written out in full or with capitals, an address reads the same; IPv4 lines and noise are left out.
    const auto mixed = platform::ParseIpv6AddrOutput(
        "2: eth0    inet 192.0.2.2/24 brd 192.0.2.255 scope global eth0\n"
        "2: eth0    inet6 2001:0DB8:0000:0000:0000:0000:0000:0010/64 scope global\n"
        "garbage\n3: x inet6 not-an-address/64\n");
    ASSERT_EQ(mixed.size(), 1u);
    EXPECT_EQ(mixed[0].address, "2001:db8::10");
}

TEST(Ipv6Choice, StableAddressWinsOverPrivacyUniqueLocalAndLinkLocal)
{
    // SLAAC with privacy extensions: the EUI-64 address (managed-temporary: the one temporaries are
    // made from) is stable; the temporary one changes daily. The ULA has no expiry but is not global.
    const Ipv6Choice c = Choose("eui64-privacy.txt");
    EXPECT_EQ(c.address, "2001:db8:a0:1:21e:6ff:fe33:4455");
    EXPECT_EQ(c.interfaceName, "enp3s0");
    EXPECT_TRUE(c.error.empty());
    ASSERT_EQ(c.candidates.size(), 5u);
    EXPECT_TRUE(CandidateOf(c, "2001:db8:a0:1:21e:6ff:fe33:4455").chosen);
    EXPECT_TRUE(CandidateOf(c, "2001:db8:a0:1:21e:6ff:fe33:4455").reason.empty());
    EXPECT_TRUE(Mentions(CandidateOf(c, "::1").reason, u8"ﾙｰﾌﾟﾊﾞｯｸ"));
    EXPECT_TRUE(Mentions(CandidateOf(c, "2001:db8:a0:1:9c1e:2f11:4b6a:77d0").reason, u8"一時ｱﾄﾞﾚｽ"));
    EXPECT_TRUE(Mentions(CandidateOf(c, "fd12:3456:789a:1:21e:6ff:fe33:4455").reason, u8"ﾕﾆｰｸﾛｰｶﾙ"));
    EXPECT_TRUE(Mentions(CandidateOf(c, "fe80::21e:6ff:fe33:4455").reason, u8"ﾘﾝｸﾛｰｶﾙ"));
    for (const Ipv6Candidate& other : c.candidates)
        EXPECT_EQ(other.chosen, other.address == c.address);

    // A kernel-made stable-privacy identifier is as stable as an EUI-64 one.
    const Ipv6Choice sp = Choose("stable-privacy.txt");
    EXPECT_EQ(sp.address, "2001:db8:b0:7:5f1a:8c2e:90b3:d4e7");
}

TEST(Ipv6Choice, NoExpiryFirstThenLongestPreferredLifetimeAndTheInterfaceSetting)
{
    // eth0: SLAAC (604000 s left), wlan0: DHCPv6 /128 (6000 s), br0: a static address without expiry.
    const Ipv6Choice any = Choose("several-interfaces.txt");
    EXPECT_EQ(any.address, "2001:db8:c0:3::10");
    EXPECT_EQ(any.interfaceName, "br0");
    EXPECT_TRUE(Mentions(CandidateOf(any, "2001:db8:c0:1:21e:6ff:fe00:1").reason, u8"有効期限があります"));
    EXPECT_TRUE(Mentions(CandidateOf(any, "2001:db8:c0:2::8a31").reason, u8"6000秒"));

    const Ipv6Choice wlan = Choose("several-interfaces.txt", "wlan0");
    EXPECT_EQ(wlan.address, "2001:db8:c0:2::8a31");
    EXPECT_TRUE(Mentions(CandidateOf(wlan, "2001:db8:c0:3::10").reason, u8"指定のｲﾝﾀｰﾌｪｲｽ(wlan0)"));

    // Without a no-expiry address, the longest preferred lifetime wins whatever the order.
    platform::Ipv6AddressTable table;
    table.addresses = {{"a", 2, "2001:db8:1::1", 64, 0, 600, 900},
                       {"b", 3, "2001:db8:2::1", 64, 0, 9000, 9000},
                       {"c", 4, "2001:db8:3::1", 64, 0, 9000, 9000}};
    const Ipv6Choice ranked = ChooseIpv6Address(table, {}, {});
    EXPECT_EQ(ranked.address, "2001:db8:2::1") << "the first of equals";
    EXPECT_TRUE(Mentions(CandidateOf(ranked, "2001:db8:3::1").reason, u8"先に見つかった"));

    const Ipv6Choice missing = Choose("several-interfaces.txt", "wlan9");
    EXPECT_TRUE(missing.address.empty());
    EXPECT_TRUE(Mentions(missing.error, u8"ｲﾝﾀｰﾌｪｲｽ wlan9 にIPv6ｱﾄﾞﾚｽがありません"));
}

TEST(Ipv6Choice, ThePublishedAddressStaysWhileUsableAndOnlyThenTheRankingDecides)
{
    // Two routers' prefixes whose lifetimes are refreshed at different moments: the ranking would
    // follow each refresh.
    using platform::Ipv6AddressRecord;
    const Ipv6AddressRecord a{"eth0", 2, "2001:db8:a::5", 64, 0, 1200, 3600};
    const Ipv6AddressRecord b{"eth0", 2, "2001:db8:b::5", 64, 0, 1800, 3600};
    const auto choose = [](std::vector<Ipv6AddressRecord> rows, const std::string& published,
                           const std::string& suffix = {}) {
        platform::Ipv6AddressTable table;
        table.addresses = std::move(rows);
        return ChooseIpv6Address(table, {}, suffix, published);
    };
    EXPECT_EQ(choose({a, b}, {}).address, "2001:db8:b::5") << "nothing published: the ranking";
    const Ipv6Choice kept = choose({a, b}, "2001:db8:a::5");
    EXPECT_EQ(kept.address, "2001:db8:a::5");
    EXPECT_TRUE(Mentions(CandidateOf(kept, "2001:db8:b::5").reason, u8"公開中のｱﾄﾞﾚｽ(2001:db8:a::5)"));
    EXPECT_EQ(choose({a, b}, "2001:db8:a:0::0005").address, "2001:db8:a::5") << "another spelling";
    Ipv6AddressRecord forever = b;
    forever.preferredLifetime = forever.validLifetime = platform::kIpv6Forever;
    EXPECT_EQ(choose({forever, a}, "2001:db8:a::5").address, "2001:db8:a::5") << "even against no expiry";

    // Unusable now: gone, deprecated, temporary, tentative, failed, or on another interface.
    EXPECT_EQ(choose({b}, "2001:db8:a::5").address, "2001:db8:b::5");
    for (const std::uint32_t flag : {platform::ipv6Deprecated, platform::ipv6Temporary,
                                     platform::ipv6Tentative, platform::ipv6DadFailed}) {
        Ipv6AddressRecord spoilt = a;
        spoilt.flags = flag;
        EXPECT_EQ(choose({spoilt, b}, "2001:db8:a::5").address, "2001:db8:b::5") << flag;
    }
    Ipv6AddressRecord expired = a;
    expired.preferredLifetime = 0;
    EXPECT_EQ(choose({expired, b}, "2001:db8:a::5").address, "2001:db8:b::5");
    platform::Ipv6AddressTable table;
    table.addresses = {a, {"wlan0", 3, "2001:db8:b::5", 64, 0, 1800, 3600}};
    EXPECT_EQ(ChooseIpv6Address(table, "wlan0", {}, "2001:db8:a::5").address, "2001:db8:b::5");

    // With a suffix the published address is the prefix's, not the machine's own.
    EXPECT_EQ(choose({a, b}, "2001:db8:a::10", "::10").address, "2001:db8:a::10");
    EXPECT_EQ(choose({a, b}, "2001:db8:a::5", "::10").address, "2001:db8:b::10");
}

TEST(Ipv6Choice, RenumberingPassesOverTheDeprecatedPrefix)
{
    const Ipv6Choice c = Choose("renumbered.txt");
    EXPECT_EQ(c.address, "2001:db8:e0:5:21e:6ff:fe33:4455");
    EXPECT_TRUE(Mentions(CandidateOf(c, "2001:db8:d0:5:21e:6ff:fe33:4455").reason, u8"非推奨"));
    EXPECT_TRUE(Ipv6PrefixChanged("2001:db8:d0:5:21e:6ff:fe33:4455", c.address));
    EXPECT_FALSE(Ipv6PrefixChanged("2001:db8:e0:5::1", c.address)) << "same /64, other host";
    EXPECT_FALSE(Ipv6PrefixChanged("", c.address)) << "nothing published before";
    EXPECT_EQ(Ipv6Prefix64("2001:db8:e0:5:21e:6ff:fe33:4455"), "2001:db8:e0:5::");

    // A preferred lifetime run out counts as deprecated even when the flag is not (yet) there.
    platform::Ipv6AddressTable table;
    table.addresses = {{"eth0", 2, "2001:db8:d0:5::1", 64, 0, 0, 7000}};
    EXPECT_TRUE(ChooseIpv6Address(table, {}, {}).address.empty());
}

TEST(Ipv6Choice, NothingUsableSaysWhyForEveryAddress)
{
    const Ipv6Choice c = Choose("nothing-usable.txt");
    EXPECT_TRUE(c.address.empty());
    EXPECT_TRUE(Mentions(c.error, u8"公開できるIPv6ｱﾄﾞﾚｽ"));
    ASSERT_EQ(c.candidates.size(), 6u);
    for (const Ipv6Candidate& candidate : c.candidates) {
        EXPECT_FALSE(candidate.chosen);
        EXPECT_FALSE(candidate.reason.empty()) << candidate.address;
    }
    EXPECT_TRUE(Mentions(CandidateOf(c, "2001:db8:f0:1::77").reason, u8"途中"));
    EXPECT_TRUE(Mentions(CandidateOf(c, "2001:db8:f0:1::78").reason, u8"同じｱﾄﾞﾚｽが見つかり"));

    const std::vector<std::string> lines = ExplainIpv6Choice(c);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines.back(), Sjis(u8"結果: 見つかりませんでした。") + c.error);

    platform::Ipv6AddressTable unreadable;
    unreadable.error = 97; // EAFNOSUPPORT: a kernel without IPv6
    EXPECT_TRUE(Mentions(ChooseIpv6Address(unreadable, {}, {}).error, u8"一覧を読めませんでした"));
}

TEST(Ipv6Choice, SuffixPutsAnotherMachineOfTheNetworkBehindThePrefix)
{
    const Ipv6Choice c = Choose("renumbered.txt", {}, "::10");
    EXPECT_EQ(c.address, "2001:db8:e0:5::10");
    EXPECT_EQ(Choose("renumbered.txt", "eth0", " 10 ").address, "2001:db8:e0:5::10");
    EXPECT_EQ(Choose("renumbered.txt", {}, "::a:b:c:d").address, "2001:db8:e0:5:a:b:c:d");
    EXPECT_EQ(Choose("renumbered.txt", {}, "1:2:3:4").address, "2001:db8:e0:5:1:2:3:4");
    const std::vector<std::string> lines = ExplainIpv6Choice(c);
    EXPECT_NE(lines.back().find("2001:db8:e0:5::10"), std::string::npos);
    EXPECT_NE(lines.back().find("2001:db8:e0:5:21e:6ff:fe33:4455"), std::string::npos);

    // Bits in the prefix half, an all-zero identifier or no address at all are refused, never
    // published half-made.
    for (const char* bad : {"2001:db8::10", "::", "::0", "zz", "::10::1", "1:2:3:4:5:6:7:8:9"}) {
        EXPECT_FALSE(IsValidIpv6Suffix(bad)) << bad;
        const Ipv6Choice refused = Choose("renumbered.txt", {}, bad);
        EXPECT_TRUE(refused.address.empty()) << bad;
        EXPECT_TRUE(Mentions(refused.error, u8"ｲﾝﾀｰﾌｪｲｽIDになっていません")) << bad;
    }
    EXPECT_TRUE(IsValidIpv6Suffix(""));
    EXPECT_TRUE(IsValidIpv6Suffix("::10"));
}
