#include "net/IdMessage.h"

#include "net/NetText.h"
#include "text/jconvert.h"

#include <cstdio>

namespace net {

namespace {

bool IsPrintableAscii(std::string_view text)
{
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b > 0x7E)
            return false;
    }
    return true;
}

std::string EncodeWords(std::string_view text, const mail::MailCharset& charset)
{
    if (IsPrintableAscii(text))
        return std::string(text);
    return mail::EncodeHeaderText(text, charset.Name, charset.Letter, charset.ConvertToJis);
}

std::string JoinAddresses(const TIdEMailAddressList& list, const mail::MailCharset& charset)
{
    std::string joined;
    for (const TIdEMailAddressItem& item : list) {
        if (!joined.empty())
            joined += ", ";
        joined += FormatAddressItem(item, charset);
    }
    return joined;
}

std::string JoinTexts(const std::vector<std::string>& texts)
{
    std::string joined;
    for (const std::string& t : texts) {
        if (!joined.empty())
            joined += ',';
        joined += t;
    }
    return joined;
}

bool IsWhite(char c)
{
    return c == ' ' || c == '\t';
}

void FoldInto(std::string line, std::vector<std::string>& out)
{
    constexpr size_t kLimit = 78;
    while (line.size() > kLimit) {
        // Break before the last white space that keeps this piece within the limit; when a word is
        // longer than that, break at the first white space after it.
        size_t cut = std::string::npos;
        for (size_t i = kLimit; i >= 1; --i) {
            if (IsWhite(line[i])) {
                cut = i;
                break;
            }
        }
        if (cut == std::string::npos) {
            for (size_t i = kLimit + 1; i < line.size(); ++i) {
                if (IsWhite(line[i])) {
                    cut = i;
                    break;
                }
            }
        }
        if (cut == std::string::npos)
            break;
        out.push_back(line.substr(0, cut));
        line.erase(0, cut);
    }
    out.push_back(std::move(line));
}

} // namespace

void TIdHeaderList::SetValue(std::string_view name, std::string_view value)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (SameName(it->first, name)) {
            if (value.empty())
                m_entries.erase(it);
            else
                it->second = std::string(value);
            return;
        }
    }
    if (!value.empty())
        m_entries.emplace_back(std::string(name), std::string(value));
}

std::string TIdHeaderList::Value(std::string_view name) const
{
    for (const auto& [n, v] : m_entries) {
        if (SameName(n, name))
            return v;
    }
    return {};
}

std::vector<std::string> TIdHeaderList::FoldedLines() const
{
    std::vector<std::string> lines;
    for (const auto& [name, value] : m_entries) {
        // An encoded value may already carry its own line breaks; each physical line is folded alone.
        const std::string whole = name + ": " + value;
        size_t start = 0;
        for (;;) {
            const size_t br = whole.find("\r\n", start);
            FoldInto(whole.substr(start, br == std::string::npos ? std::string::npos : br - start), lines);
            if (br == std::string::npos)
                break;
            start = br + 2;
        }
    }
    return lines;
}

std::string FormatMailDate(const QDateTime& time)
{
    static constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!time.isValid())
        return {};
    const QDate date = time.date();
    const QTime clock = time.time();
    const int offset = time.offsetFromUtc() / 60;
    const int absOffset = offset < 0 ? -offset : offset;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %d %s %d %02d:%02d:%02d %c%02d%02d",
                  kDays[date.dayOfWeek() - 1], date.day(), kMonths[date.month() - 1], date.year(),
                  clock.hour(), clock.minute(), clock.second(), offset < 0 ? '-' : '+', absOffset / 60,
                  absOffset % 60);
    return buffer;
}

std::string FormatAddressItem(const TIdEMailAddressItem& item, const mail::MailCharset& charset)
{
    if (item.Name.empty())
        return item.Address;
    if (IsPrintableAscii(item.Name)) {
        std::string quoted = "\"";
        for (const char c : item.Name) {
            if (c == '\\' || c == '"')
                quoted += '\\';
            quoted += c;
        }
        return quoted + "\" <" + item.Address + ">";
    }
    return EncodeWords(item.Name, charset) + " <" + item.Address + ">";
}

TIdHeaderList BuildMessageHeader(const TIdMessage& message, const mail::MailCharset& charset,
                                 const QDateTime& now, std::string_view mailAgent)
{
    // A message without parts keeps its content type and gets ";" and its charset appended.
    const std::string contentType =
        message.ContentType.empty() ? message.CharSet : message.ContentType + ";" + message.CharSet;

    TIdHeaderList header;
    header.SetValue("From", FormatAddressItem(message.From, charset));
    header.SetValue("Subject", EncodeWords(message.Subject, charset));
    header.SetValue("To", JoinAddresses(message.Recipients, charset));
    header.SetValue("Cc", JoinAddresses(message.CCList, charset));
    header.SetValue("Newsgroups", JoinTexts(message.NewsGroups));
    header.SetValue("Content-Type", contentType);
    header.SetValue("Content-Transfer-Encoding", message.ContentTransferEncoding);
    header.SetValue("Sender", FormatAddressItem(message.Sender, charset));
    header.SetValue("Reply-To", JoinAddresses(message.ReplyTo, charset));
    header.SetValue("Organization", message.Organization);
    header.SetValue("Disposition-Notification-To", FormatAddressItem(message.ReceiptRecipient, charset));
    header.SetValue("References", message.References);
    header.SetValue("Date", FormatMailDate(message.UseNowForDate ? now : message.Date));
    header.SetValue("X-Priority", std::to_string(static_cast<int>(message.Priority) + 1));
    header.SetValue("X-Library", "Indy 8.0.25");

    TIdHeaderList extra = message.ExtraHeaders;
    extra.SetValue("X-Mailer", mailAgent);
    for (const auto& [name, value] : extra.Entries())
        header.SetValue(name, value);
    return header;
}

} // namespace net
