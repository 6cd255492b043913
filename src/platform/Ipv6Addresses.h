#pragma once
// This machine's IPv6 addresses as the kernel keeps them, with the flags and lifetimes that tell a
// stable address from a temporary (privacy) or deprecated one. Qt's interface list and
// /proc/net/if_inet6 lose part of the flags, so the addresses are read from the kernel's routing
// socket (netlink). A recorded `ip -6 -o addr show` output stands in for the machine in tests and for
// diagnosis: it holds the same flags and lifetimes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// The kernel's address flags (IFA_F_*), with the kernel's values.
enum Ipv6AddressFlag : std::uint32_t {
    ipv6Temporary = 0x01,
    ipv6NoDad = 0x02,
    ipv6Optimistic = 0x04,
    ipv6DadFailed = 0x08,
    ipv6HomeAddress = 0x10,
    ipv6Deprecated = 0x20,
    ipv6Tentative = 0x40,
    ipv6Permanent = 0x80,
    ipv6ManageTempAddr = 0x100,
    ipv6NoPrefixRoute = 0x200,
    ipv6McAutoJoin = 0x400,
    ipv6StablePrivacy = 0x800,
};

// A lifetime without end.
constexpr std::uint32_t kIpv6Forever = 0xFFFFFFFFu;

struct Ipv6AddressRecord
{
    std::string interfaceName; // the system's name (UTF-8)
    int interfaceIndex = 0;
    std::string address; // the text form of the address, lower case, compressed (no prefix length)
    int prefixLength = 0;
    std::uint32_t flags = 0;                        // Ipv6AddressFlag bits
    std::uint32_t preferredLifetime = kIpv6Forever; // seconds left, kIpv6Forever for none
    std::uint32_t validLifetime = kIpv6Forever;
    friend bool operator==(const Ipv6AddressRecord&, const Ipv6AddressRecord&) = default;
};

struct Ipv6AddressTable
{
    int error = 0;                            // 0, or the errno value of a table that could not be read
    std::vector<Ipv6AddressRecord> addresses; // in the kernel's order
};

class Ipv6AddressSource
{
public:
    virtual ~Ipv6AddressSource() = default;
    virtual Ipv6AddressTable ReadAddresses() const = 0;
};

// This machine, through netlink.
class KernelIpv6AddressSource final : public Ipv6AddressSource
{
public:
    Ipv6AddressTable ReadAddresses() const override;
};

// A recorded `ip -6 -o addr show` output.
class RecordedIpv6AddressSource final : public Ipv6AddressSource
{
public:
    explicit RecordedIpv6AddressSource(std::string ipOutput) : m_output(std::move(ipOutput)) {}
    Ipv6AddressTable ReadAddresses() const override;

private:
    std::string m_output;
};

// This machine's table: the kernel's, or, when the environment variable QUILLMAP_IPV6_ADDRESSES names
// a file, the recorded `ip -6 -o addr show` output in it (a user's table replayed for diagnosis, and
// the tests of the whole program). A file that cannot be read gives its errno value.
Ipv6AddressTable ReadMachineIpv6Addresses();

// Parses `ip -6 -o addr show` (iproute2) output. Lines that are not IPv6 addresses are left out.
// iproute2 writes "dynamic" for an address without the permanent flag and "temporary" for
// IFA_F_TEMPORARY ("secondary" is the same bit).
std::vector<Ipv6AddressRecord> ParseIpv6AddrOutput(const std::string& output);

// The text form of a 16-byte address ("2001:db8::1"), or empty when bytes does not hold 16 bytes.
std::string Ipv6ToText(const unsigned char* bytes, std::size_t size);
// Parses an address; false when text is not an IPv6 address.
bool Ipv6FromText(const std::string& text, unsigned char (&bytes)[16]);

} // namespace platform
