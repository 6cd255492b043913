#include "TestPaths.h"
#include "netinfo/AdaptersInfo.h"
#include "netinfo/RouterTest.h"
#include "text/Sjis.h"

#include <QHostAddress>
#include <cerrno>
#include <gtest/gtest.h>

using namespace netinfo;
using text::Sjis;

namespace {

std::string Fixture(const char* name)
{
    return std::string(QUILLMAP_TESTS_DIR "/fixtures/netinfo/") + name;
}

struct Chosen
{
    TIpInfo info;
    AdapterTree tree;
};

Chosen Choose(const char* fixture)
{
    Chosen c;
    c.info = GetAdapterInfo(c.tree, FolderNetworkSource(Fixture(fixture)));
    return c;
}

AdapterTree Tree(const std::string& name, const std::string& description, const std::string& address,
                 const std::string& gateway)
{
    AdapterTree tree = {{0, Sjis(u8"ｱﾀﾞﾌﾟﾀ名: ") + name}, {1, Sjis(u8"説明: ") + description}};
    if (!address.empty())
        tree.push_back({1, Sjis(u8"IPｱﾄﾞﾚｽ: ") + address});
    tree.push_back({1, Sjis(u8"ｹﾞｰﾄｳｪｲ: ") + gateway});
    return tree;
}

// A source whose interface list cannot be read.
class UnreadableSource final : public FolderNetworkSource
{
public:
    explicit UnreadableSource(int error) : FolderNetworkSource("/nonexistent"), m_error(error) {}
    std::optional<std::vector<std::string>> InterfaceNames(int& error) const override
    {
        error = m_error;
        return std::nullopt;
    }

private:
    int m_error;
};

bool IsDotted(const std::string& text)
{
    QHostAddress a;
    return a.setAddress(QString::fromStdString(text)) && a.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

TEST(Adapters, TheFirstWiredEthernetAdapterGivesTheRouter)
{
    // The wireless adapter comes first in system order and is skipped.
    const Chosen c = Choose("wireless-first");
    EXPECT_EQ(c.info.ErrorMessage, "");
    EXPECT_EQ(c.info.AdapterName, "enp3s0");
    EXPECT_EQ(c.info.AdapterAddress, "192.168.10.5");
    EXPECT_EQ(c.info.GatewayAddress, "192.168.10.1");
    EXPECT_EQ(c.tree, Tree("enp3s0", "Ethernet (r8169)", "192.168.10.5", "192.168.10.1"));
    EXPECT_EQ(DetectRouterAddress(FolderNetworkSource(Fixture("wireless-first"))), "192.168.10.1");
}

TEST(Adapters, OfTwoWiredAdaptersOnlyTheFirstInSystemOrderCounts)
{
    // eth1 has the lower interface index; eth0's route has the lower metric and does not matter.
    const Chosen c = Choose("two-wired");
    EXPECT_EQ(c.info.AdapterName, "eth1");
    EXPECT_EQ(c.info.AdapterAddress, "192.168.1.20");
    EXPECT_EQ(c.info.GatewayAddress, "192.168.1.1");
    EXPECT_EQ(c.tree, Tree("eth1", "Ethernet (e1000e)", "192.168.1.20", "192.168.1.1"));
}

TEST(Adapters, NoAdapterAtAll)
{
    const Chosen c = Choose("no-adapter");
    EXPECT_EQ(c.info.ErrorMessage, Sjis(u8"アダプタ情報が存在しません。"));
    EXPECT_EQ(c.info.AdapterName, "");
    EXPECT_TRUE(c.tree.empty());
    EXPECT_EQ(DetectRouterAddress(FolderNetworkSource(Fixture("no-adapter"))), "");
}

TEST(Adapters, AWiredAdapterWithoutGatewayAndNoOtherRoute)
{
    const Chosen c = Choose("no-gateway");
    EXPECT_EQ(c.info.ErrorMessage, "");
    EXPECT_EQ(c.info.AdapterName, "eno1");
    EXPECT_EQ(c.info.GatewayAddress, "");
    EXPECT_EQ(c.tree, Tree("eno1", "Ethernet (e1000e)", "192.168.5.9", ""));
    EXPECT_EQ(DetectRouterAddress(FolderNetworkSource(Fixture("no-gateway"))), "");
}

TEST(Adapters, AnUnpluggedWiredAdapterGivesWayToTheWirelessDefaultRoute)
{
    // The VPN tunnel has the lowest metric but is no adapter to the router; Docker's are virtual.
    const Chosen c = Choose("unplugged-wired");
    EXPECT_EQ(c.info.AdapterName, "wlp4s0");
    EXPECT_EQ(c.info.AdapterAddress, "192.168.0.12");
    EXPECT_EQ(c.info.GatewayAddress, "192.168.0.1");
    EXPECT_EQ(c.tree, Tree("wlp4s0", "Wireless LAN (iwlwifi)", "192.168.0.12", "192.168.0.1"));
}

TEST(Adapters, AnotherWiredAdapterWithTheDefaultRouteComesBeforeWireless)
{
    const Chosen c = Choose("second-wired-route");
    EXPECT_EQ(c.info.AdapterName, "eth1");
    EXPECT_EQ(c.info.GatewayAddress, "192.168.3.1");
}

TEST(Adapters, VirtualAdaptersAreNoEthernet)
{
    // A container's eth0 is a veth without a device: no wired adapter, and no error either.
    const Chosen c = Choose("container");
    EXPECT_EQ(c.info.ErrorMessage, "");
    EXPECT_EQ(c.info.AdapterName, "");
    EXPECT_EQ(c.info.GatewayAddress, "");
    EXPECT_TRUE(c.tree.empty());
    // A recorded virtual machine: the virtio adapter is a device, the ifb interfaces are made up.
    const Chosen vm = Choose("recorded-virtio");
    EXPECT_EQ(vm.info.AdapterName, "eth0");
    EXPECT_EQ(vm.info.AdapterAddress, "192.0.2.2");
    EXPECT_EQ(vm.info.GatewayAddress, "192.0.2.1");
    EXPECT_EQ(vm.tree.at(1).text, Sjis(u8"説明: Ethernet (virtio_net)"));
}

TEST(Adapters, ListingErrorsBecomeTheirTexts)
{
    AdapterTree tree = {{0, "stale"}};
    const TIpInfo missing = GetAdapterInfo(tree, FolderNetworkSource("/nonexistent/quillmap"));
    EXPECT_EQ(missing.ErrorMessage, Sjis(u8"ネットワーク要求はサポートされていません。"));
    EXPECT_TRUE(tree.empty());
    EXPECT_EQ(GetAdapterInfo(tree, UnreadableSource(EACCES)).ErrorMessage,
              "(13)" + Sjis(u8"アダプタ情報は取得できません。"));
    EXPECT_EQ(AdapterErrorMessage(87), Sjis(u8"パラメータが不正です。"));
    EXPECT_EQ(DetectRouterAddress(UnreadableSource(EACCES)), "");
}

TEST(Adapters, DefaultRoutesFromTheRoutingTable)
{
    const std::string table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "wlan0\t00000000\t0104A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth1\t00000000\t0102A8C0\t0002\t0\t0\t1\t00000000\t0\t0\t0\n"   // down
        "eth2\t00000000\t00000000\t0001\t0\t0\t1\t00000000\t0\t0\t0\n"   // no gateway
        "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n" // a subnet
        "broken line\n";
    const std::vector<DefaultRoute> routes = ParseDefaultRoutes(table);
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[0].iface, "eth0");
    EXPECT_EQ(routes[0].gateway, "192.168.1.1");
    EXPECT_EQ(routes[1].iface, "wlan0");
    EXPECT_EQ(routes[1].gateway, "192.168.4.1");
}

TEST(Adapters, AddressesFromRecordedIpOutput)
{
    const auto addresses = ParseIpAddrOutput(
        "1: lo    inet 127.0.0.1/8 scope host lo\\       valid_lft forever preferred_lft forever\n"
        "2: eth0    inet 192.168.1.5/24 brd 192.168.1.255 scope global eth0\\       valid_lft forever\n"
        "2: eth0    inet 192.168.1.6/24 scope global secondary eth0:1\\       valid_lft forever\n"
        "3: veth0@if4    inet 10.1.1.1/24 scope global veth0\\ valid_lft forever\n"
        "garbage\n");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"lo", "127.0.0.1"}, {"eth0", "192.168.1.5"}, {"eth0", "192.168.1.6"}, {"veth0", "10.1.1.1"}};
    EXPECT_EQ(addresses, expected);
}

TEST(Adapters, ThisMachineGivesAWellFormedAnswer)
{
    AdapterTree tree;
    const TIpInfo info = GetAdapterInfo(tree);
    if (!info.ErrorMessage.empty()) {
        EXPECT_TRUE(tree.empty());
        EXPECT_EQ(info.AdapterName, "");
        EXPECT_EQ(DetectRouterAddress(), "");
        return;
    }
    if (info.AdapterName.empty()) {
        EXPECT_TRUE(tree.empty());
        return;
    }
    ASSERT_GE(tree.size(), 3u);
    EXPECT_EQ(tree[0], (TreeRow{0, Sjis(u8"ｱﾀﾞﾌﾟﾀ名: ") + info.AdapterName}));
    EXPECT_TRUE(info.AdapterAddress.empty() || IsDotted(info.AdapterAddress)) << info.AdapterAddress;
    EXPECT_TRUE(info.GatewayAddress.empty() || IsDotted(info.GatewayAddress)) << info.GatewayAddress;
    EXPECT_EQ(tree.back(), (TreeRow{1, Sjis(u8"ｹﾞｰﾄｳｪｲ: ") + info.GatewayAddress}));
    EXPECT_EQ(DetectRouterAddress(), info.GatewayAddress);
}

TEST(RouterTestText, ShowsBothAddressesOrTheReason)
{
    TIpInfo info;
    info.AdapterAddress = "192.168.10.5";
    info.GatewayAddress = "192.168.10.1";
    EXPECT_EQ(RouterTestText(info),
              Sjis(u8"ｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: 192.168.10.5\r\nﾙｰﾀのIPｱﾄﾞﾚｽ: 192.168.10.1\r\n\r\n"
                   u8"この結果が正しくない場合はIPｱﾄﾞﾚｽを指定してください。"));
    EXPECT_TRUE(RouterTestFound(info));
    // An adapter without a router, or nothing at all: said so, never empty fields.
    info.GatewayAddress.clear();
    EXPECT_FALSE(RouterTestFound(info));
    EXPECT_EQ(RouterTestText(info), Sjis(u8"取得できませんでした。\r\n\r\nｱﾀﾞﾌﾟﾀのIPｱﾄﾞﾚｽ: 192.168.10.5\r\n"
                                         u8"ﾙｰﾀ(ﾃﾞﾌｫﾙﾄｹﾞｰﾄｳｪｲ)が見つかりませんでした。ﾙｰﾀのIPｱﾄﾞﾚｽを指定してください。"));
    info.AdapterAddress.clear();
    EXPECT_EQ(RouterTestText(info).rfind(Sjis(u8"取得できませんでした。\r\n\r\nIPｱﾄﾞﾚｽのあるﾈｯﾄﾜｰｸｱﾀﾞﾌﾟﾀが"), 0), 0u);
    info.ErrorMessage = Sjis(u8"アダプタ情報が存在しません。");
    EXPECT_FALSE(RouterTestFound(info));
    EXPECT_EQ(RouterTestText(info), Sjis(u8"取得できませんでした。\r\n\r\nアダプタ情報が存在しません。"));
}
