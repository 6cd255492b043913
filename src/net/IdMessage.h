#pragma once
// The message of the authenticating client: its fields, its header list and the header block that
// the client writes for it. Texts are code page 932 bytes; header words outside printable ASCII are
// encoded for the user's mail charset.

#include "net/IdEMailAddress.h"
#include "text/MailCharset.h"

#include <QDateTime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

// Header lines "name: value". Setting an empty value removes the line; names compare without regard
// to case.
class TIdHeaderList
{
public:
    void SetValue(std::string_view name, std::string_view value);
    std::string Value(std::string_view name) const;
    bool Empty() const { return m_entries.empty(); }
    const std::vector<std::pair<std::string, std::string>>& Entries() const { return m_entries; }
    // The lines as they go on the wire (without CR LF): a line longer than 78 characters is folded
    // at white space, the continuation beginning with that white space.
    std::vector<std::string> FoldedLines() const;

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
};

enum TIdMessagePriority : int {
    mpHighest = 0,
    mpHigh = 1,
    mpNormal = 2,
    mpLow = 3,
    mpLowest = 4,
};

struct TIdMessage
{
    std::vector<std::string> Body;
    std::string Subject;
    TIdEMailAddressItem From;
    TIdEMailAddressList Recipients;
    TIdEMailAddressList CCList;
    TIdEMailAddressList BccList;
    TIdEMailAddressList ReplyTo;
    TIdEMailAddressItem Sender;
    TIdEMailAddressItem ReceiptRecipient;
    std::string ContentType;
    std::string CharSet;
    std::string ContentTransferEncoding;
    std::string Organization;
    std::string References;
    std::vector<std::string> NewsGroups;
    TIdMessagePriority Priority = mpNormal;
    QDateTime Date;
    bool UseNowForDate = true;
    TIdHeaderList ExtraHeaders;
};

// "Sun, 7 Dec 2025 09:05:03 +0900": English names, the offset of the given time from UTC.
std::string FormatMailDate(const QDateTime& time);

// An address as a header shows it: the bare address, or a quoted (or encoded) name and the address.
std::string FormatAddressItem(const TIdEMailAddressItem& item, const mail::MailCharset& charset);

// The header of a message without parts, in the order the client writes it; now is used as the
// date when the message asks for the current time. mailAgent, when not empty, adds X-Mailer.
TIdHeaderList BuildMessageHeader(const TIdMessage& message, const mail::MailCharset& charset,
                                 const QDateTime& now, std::string_view mailAgent);

} // namespace net
