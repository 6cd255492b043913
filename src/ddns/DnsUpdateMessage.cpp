#include "ddns/DnsUpdateMessage.h"

#include <ldns/ldns.h>

#include <cstdlib>

namespace ddns {

namespace {

// How far the server's clock may be from ours, in seconds (what nsupdate allows as well).
constexpr uint16_t kTsigFudgeSeconds = 300;
// The fields of a TSIG record as the library holds them: algorithm, time, fudge, MAC, original ID,
// error, other data.
constexpr size_t kTsigMacField = 3;
constexpr size_t kTsigErrorField = 5;

struct PacketFree
{
    void operator()(ldns_pkt* p) const { ldns_pkt_free(p); }
};
using PacketPtr = std::unique_ptr<ldns_pkt, PacketFree>;

struct ListFree
{
    void operator()(ldns_rr_list* l) const { ldns_rr_list_deep_free(l); }
};
using ListPtr = std::unique_ptr<ldns_rr_list, ListFree>;

std::string Absolute(const std::string& name)
{
    return !name.empty() && name.back() == '.' ? name : name + ".";
}

// The update section: the host's whole record set of the type goes (class ANY, no data, RFC 2136
// 2.5.2), then the one new record comes.
ListPtr UpdateSection(const DnsUpdateRequest& r, std::string& error)
{
    const ldns_rr_type type = r.Type == RecordType::A ? LDNS_RR_TYPE_A : LDNS_RR_TYPE_AAAA;
    ListPtr list(ldns_rr_list_new());
    ldns_rdf* owner = ldns_dname_new_frm_str(Absolute(r.Host).c_str());
    if (!owner) {
        error = "bad host name";
        return nullptr;
    }
    ldns_rr* remove = ldns_rr_new();
    ldns_rr_set_owner(remove, owner);
    ldns_rr_set_type(remove, type);
    ldns_rr_set_class(remove, LDNS_RR_CLASS_ANY);
    ldns_rr_set_ttl(remove, 0);
    ldns_rr_list_push_rr(list.get(), remove);

    ldns_rr* add = nullptr;
    const std::string text =
        Absolute(r.Host) + " " + std::to_string(r.Ttl) + " IN " + RecordName(r.Type) + " " + r.Address;
    const ldns_status status = ldns_rr_new_frm_str(&add, text.c_str(), 0, nullptr, nullptr);
    if (status != LDNS_STATUS_OK) {
        error = ldns_get_errorstr_by_id(status);
        return nullptr;
    }
    ldns_rr_list_push_rr(list.get(), add);
    return list;
}

} // namespace

struct DnsUpdateMessage::Packet
{
    PacketPtr Pkt;
};

std::string TsigAlgorithmName(const std::string& given)
{
    std::string name;
    for (const char c : given)
        name += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    for (const char* known : {"hmac-sha1", "hmac-sha224", "hmac-sha256", "hmac-sha384", "hmac-sha512"})
        if (name == known)
            return name;
    return {};
}

bool TsigAlgorithmSigns(const std::string& algorithm)
{
    // libldns 1.8 signs only these; its table misspells hmac-sha384 and lacks hmac-sha224.
    return algorithm == "hmac-sha1" || algorithm == "hmac-sha256" || algorithm == "hmac-sha512";
}

DnsUpdateMessage::DnsUpdateMessage(const DnsUpdateRequest& request)
    : m_request(request), m_packet(std::make_unique<Packet>())
{
    const ListPtr update = UpdateSection(request, m_error);
    if (!update)
        return;
    ldns_rdf* zone = ldns_dname_new_frm_str(Absolute(request.Zone).c_str());
    if (!zone) {
        m_error = "bad zone name";
        return;
    }
    // The packet takes the zone name; the record list is copied.
    m_packet->Pkt.reset(ldns_update_pkt_new(zone, LDNS_RR_CLASS_IN, nullptr, update.get(), nullptr));
    if (!m_packet->Pkt) {
        m_error = "no update message";
        return;
    }
    ldns_pkt* pkt = m_packet->Pkt.get();
    // The header bits other than the opcode are zero in an update (RFC 2136 2.2).
    ldns_pkt_set_rd(pkt, false);
    ldns_pkt_set_random_id(pkt);
    const ldns_status signing =
        ldns_pkt_tsig_sign(pkt, Absolute(request.KeyName).c_str(), request.Secret.c_str(), kTsigFudgeSeconds,
                           request.Algorithm.c_str(), nullptr);
    if (signing != LDNS_STATUS_OK) {
        m_error = ldns_get_errorstr_by_id(signing);
        return;
    }
    uint8_t* wire = nullptr;
    size_t size = 0;
    if (ldns_pkt2wire(&wire, pkt, &size) != LDNS_STATUS_OK) {
        m_error = "no wire form";
        return;
    }
    m_wire = QByteArray(reinterpret_cast<const char*>(wire), static_cast<qsizetype>(size));
    std::free(wire);
}

DnsUpdateMessage::~DnsUpdateMessage() = default;

DnsUpdateAnswer DnsUpdateMessage::Read(const QByteArray& datagram) const
{
    DnsUpdateAnswer answer;
    ldns_pkt* parsed = nullptr;
    const auto* data = reinterpret_cast<const uint8_t*>(datagram.constData());
    if (m_wire.isEmpty() ||
        ldns_wire2pkt(&parsed, data, static_cast<size_t>(datagram.size())) != LDNS_STATUS_OK)
        return answer;
    const PacketPtr reply(parsed);
    const ldns_pkt* sent = m_packet->Pkt.get();
    if (!ldns_pkt_qr(parsed) || ldns_pkt_id(parsed) != ldns_pkt_id(sent) ||
        ldns_pkt_get_opcode(parsed) != LDNS_PACKET_UPDATE)
        return answer;
    answer.Ours = true;
    answer.Rcode = ldns_pkt_get_rcode(parsed);
    answer.Truncated = ldns_pkt_tc(parsed);
    const ldns_rr* tsig = ldns_pkt_tsig(parsed);
    if (!tsig)
        return answer;
    if (const ldns_rdf* error = ldns_rr_rdf(tsig, kTsigErrorField))
        answer.TsigError = ldns_rdf2native_int16(error);
    const ldns_rdf* requestMac = ldns_rr_rdf(ldns_pkt_tsig(sent), kTsigMacField);
    answer.Signed =
        answer.TsigError == 0 &&
        ldns_pkt_tsig_verify(parsed, data, static_cast<size_t>(datagram.size()),
                             Absolute(m_request.KeyName).c_str(), m_request.Secret.c_str(), requestMac);
    return answer;
}

} // namespace ddns
