#pragma once
// One DNS UPDATE message (RFC 2136) signed with a TSIG key (RFC 8945), made and read by Debian's
// libldns: it deletes the host's records of one type and adds the new address, in one message, so
// the server applies both or neither. The answer is read for its RCODE, the TSIG error the server
// put in its own TSIG record (BADKEY, BADSIG, BADTIME) and whether the answer is signed with the
// same key for this very request (an unsigned or forged "NOERROR" is not taken for one).

#include "ddns/DdnsProvider.h"

#include <QByteArray>
#include <memory>
#include <string>

namespace ddns {

struct DnsUpdateRequest
{
    std::string Zone; // "home.example.jp" or "home.example.jp."
    std::string Host; // a name in the zone, likewise
    RecordType Type = RecordType::A;
    std::string Address;
    int Ttl = 300;
    std::string KeyName;
    std::string Algorithm; // "hmac-sha256" and the like
    std::string Secret;    // base64
};

struct DnsUpdateAnswer
{
    // An answer to this request: a DNS response with its message ID and the UPDATE opcode.
    bool Ours = false;
    int Rcode = -1;
    // The error field of the answer's TSIG record (0 when there is none or it says none).
    int TsigError = 0;
    // The answer carries a TSIG record that verifies with the key against this request.
    bool Signed = false;
    bool Truncated = false;
};

class DnsUpdateMessage
{
public:
    explicit DnsUpdateMessage(const DnsUpdateRequest& request);
    ~DnsUpdateMessage();
    DnsUpdateMessage(const DnsUpdateMessage&) = delete;
    DnsUpdateMessage& operator=(const DnsUpdateMessage&) = delete;

    // Empty when the message could not be made (Error says why, in ASCII).
    const QByteArray& Wire() const { return m_wire; }
    const std::string& Error() const { return m_error; }
    // Reads a datagram the server sent.
    DnsUpdateAnswer Read(const QByteArray& datagram) const;

private:
    struct Packet;
    DnsUpdateRequest m_request;
    std::unique_ptr<Packet> m_packet;
    QByteArray m_wire;
    std::string m_error;
};

// The TSIG algorithm names the program accepts, lower case, without the final dot: hmac-sha1,
// hmac-sha224, hmac-sha256, hmac-sha384, hmac-sha512. Empty for a name that is none of them.
std::string TsigAlgorithmName(const std::string& given);
// Whether the DNS library can sign with that (normalised) algorithm.
bool TsigAlgorithmSigns(const std::string& algorithm);

} // namespace ddns
