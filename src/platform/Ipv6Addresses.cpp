#include "platform/Ipv6Addresses.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// A netlink socket closed on every path.
class NetlinkSocket
{
public:
    NetlinkSocket() : m_fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~NetlinkSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

std::string InterfaceName(int index)
{
    char name[IF_NAMESIZE + 1] = {};
    if (index > 0 && ::if_indextoname(static_cast<unsigned>(index), name))
        return name;
    return std::to_string(index);
}

// One RTM_NEWADDR message of the dump; false when it is not an IPv6 address.
bool ReadAddressMessage(const nlmsghdr* header, Ipv6AddressRecord& record)
{
    if (header->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg)))
        return false;
    const auto* message = static_cast<const ifaddrmsg*>(NLMSG_DATA(header));
    if (message->ifa_family != AF_INET6)
        return false;
    record.interfaceIndex = static_cast<int>(message->ifa_index);
    record.prefixLength = message->ifa_prefixlen;
    record.flags = message->ifa_flags;
    std::string local, address;
    int length = static_cast<int>(IFA_PAYLOAD(header));
    for (const rtattr* a = IFA_RTA(message); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        const auto* data = static_cast<const unsigned char*>(RTA_DATA(a));
        const size_t size = RTA_PAYLOAD(a);
        switch (a->rta_type) {
        case IFA_ADDRESS:
            address = Ipv6ToText(data, size);
            break;
        case IFA_LOCAL:
            local = Ipv6ToText(data, size);
            break;
        case IFA_FLAGS:
            // The 8 bits of ifa_flags cannot hold managed-temporary and stable-privacy.
            if (size >= sizeof(std::uint32_t))
                std::memcpy(&record.flags, data, sizeof(std::uint32_t));
            break;
        case IFA_CACHEINFO:
            if (size >= sizeof(ifa_cacheinfo)) {
                ifa_cacheinfo info{};
                std::memcpy(&info, data, sizeof info);
                record.preferredLifetime = info.ifa_prefered;
                record.validLifetime = info.ifa_valid;
            }
            break;
        default:
            break;
        }
    }
    // On a point-to-point link IFA_ADDRESS is the peer and IFA_LOCAL this end.
    record.address = local.empty() ? address : local;
    if (record.address.empty())
        return false;
    record.interfaceName = InterfaceName(record.interfaceIndex);
    return true;
}

} // namespace

std::string Ipv6ToText(const unsigned char* bytes, std::size_t size)
{
    if (size != 16)
        return {};
    char buffer[INET6_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET6, bytes, buffer, sizeof buffer) ? std::string(buffer) : std::string();
}

bool Ipv6FromText(const std::string& text, unsigned char (&bytes)[16])
{
    return ::inet_pton(AF_INET6, text.c_str(), bytes) == 1;
}

Ipv6AddressTable KernelIpv6AddressSource::ReadAddresses() const
{
    Ipv6AddressTable table;
    NetlinkSocket socket;
    if (socket.fd() < 0) {
        table.error = errno;
        return table;
    }
    struct
    {
        nlmsghdr header;
        ifaddrmsg message;
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
    request.header.nlmsg_type = RTM_GETADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.message.ifa_family = AF_INET6;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(socket.fd(), &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        table.error = errno;
        return table;
    }
    // The dump arrives in several datagrams and ends with NLMSG_DONE.
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t received = ::recv(socket.fd(), buffer, sizeof buffer, 0);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            table.error = errno;
            return table;
        }
        int left = static_cast<int>(received);
        for (const auto* h = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(h, left);
             h = NLMSG_NEXT(h, left)) {
            if (h->nlmsg_type == NLMSG_DONE)
                return table;
            if (h->nlmsg_type == NLMSG_ERROR) {
                const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
                table.error = error->error < 0 ? -error->error : EIO;
                return table;
            }
            Ipv6AddressRecord record;
            if (h->nlmsg_type == RTM_NEWADDR && ReadAddressMessage(h, record))
                table.addresses.push_back(std::move(record));
        }
        if (received == 0) {
            table.error = EIO;
            return table;
        }
    }
}

Ipv6AddressTable RecordedIpv6AddressSource::ReadAddresses() const
{
    return {0, ParseIpv6AddrOutput(m_output)};
}

Ipv6AddressTable ReadMachineIpv6Addresses()
{
    const char* recorded = std::getenv("QUILLMAP_IPV6_ADDRESSES");
    if (!recorded || !*recorded)
        return KernelIpv6AddressSource().ReadAddresses();
    std::ifstream in(recorded, std::ios::binary);
    if (!in)
        return {errno != 0 ? errno : ENOENT, {}};
    return RecordedIpv6AddressSource(
               std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()))
        .ReadAddresses();
}

namespace {

std::uint32_t FlagOfWord(const std::string& word)
{
    static const std::pair<const char*, std::uint32_t> words[] = {
        {"temporary", ipv6Temporary},
        {"secondary", ipv6Temporary},
        {"nodad", ipv6NoDad},
        {"optimistic", ipv6Optimistic},
        {"dadfailed", ipv6DadFailed},
        {"home", ipv6HomeAddress},
        {"deprecated", ipv6Deprecated},
        {"tentative", ipv6Tentative},
        {"mngtmpaddr", ipv6ManageTempAddr},
        {"noprefixroute", ipv6NoPrefixRoute},
        {"autojoin", ipv6McAutoJoin},
        {"stable-privacy", ipv6StablePrivacy},
    };
    for (const auto& [name, flag] : words)
        if (word == name)
            return flag;
    return 0;
}

// "forever" or "86385sec".
std::uint32_t Lifetime(const std::string& word)
{
    if (word == "forever")
        return kIpv6Forever;
    try {
        size_t used = 0;
        const unsigned long long seconds = std::stoull(word, &used);
        return seconds >= kIpv6Forever ? kIpv6Forever - 1 : static_cast<std::uint32_t>(seconds);
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

std::vector<Ipv6AddressRecord> ParseIpv6AddrOutput(const std::string& output)
{
    // "2: eth0    inet6 2001:db8::5/64 scope global dynamic mngtmpaddr \       valid_lft 86385sec
    // preferred_lft 14385sec"
    std::vector<Ipv6AddressRecord> result;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string index, name, family, address;
        if (!(words >> index >> name >> family >> address) || family != "inet6")
            continue;
        Ipv6AddressRecord record;
        record.interfaceName = name.substr(0, name.find('@'));
        try {
            record.interfaceIndex = std::stoi(index);
        } catch (const std::exception&) {
            record.interfaceIndex = 0;
        }
        const size_t slash = address.find('/');
        if (slash != std::string::npos) {
            try {
                record.prefixLength = std::stoi(address.substr(slash + 1));
            } catch (const std::exception&) {
                record.prefixLength = 0;
            }
            address.erase(slash);
        }
        unsigned char bytes[16];
        if (!Ipv6FromText(address, bytes))
            continue;
        record.address = Ipv6ToText(bytes, 16);
        bool dynamic = false;
        for (std::string word; words >> word;) {
            if (word == "dynamic")
                dynamic = true;
            else if (word == "valid_lft" && words >> word)
                record.validLifetime = Lifetime(word);
            else if (word == "preferred_lft" && words >> word)
                record.preferredLifetime = Lifetime(word);
            else
                record.flags |= FlagOfWord(word);
        }
        if (!dynamic)
            record.flags |= ipv6Permanent;
        result.push_back(std::move(record));
    }
    return result;
}

} // namespace platform
