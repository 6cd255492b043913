#include "net/NMpop3.h"

#include "net/NetErrors.h"
#include "net/NetText.h"
#include "net/Reply.h"

#include <charconv>

namespace net {

namespace {

std::string_view FirstWord(std::string_view line)
{
    return line.substr(0, line.find(' '));
}

bool Accepted(std::string_view line)
{
    return FirstWord(line).find("+OK") != std::string_view::npos;
}

std::string_view SecondWord(std::string_view line)
{
    const size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return {};
    const std::string_view rest = line.substr(space + 1);
    return rest.substr(0, rest.find(' '));
}

} // namespace

TNMPOP3::TNMPOP3(QObject* parent) : TPowersock(parent)
{
    Port = 110;
}

void TNMPOP3::Connect()
{
    // USER and PASS carry their values as they are: a line break would end the command early and let
    // the rest through as commands of its own, so such a value is refused like an empty one.
    if (UserID.empty() || Password.empty() || HoldsLineBreak(UserID) || HoldsLineBreak(Password))
        throw ProtocolReplyError("Authentication failed");
    m_busy = true;
    bool loggedOn = false;
    try {
        TPowersock::Connect();
        // One line: POP3 greetings never continue, whatever their fourth character is.
        const std::string greeting(WithoutLineEnd(ReadLn()));
        ReplyText = greeting;
        ReplyLines = {greeting};
        if (!Accepted(greeting))
            throw ProtocolReplyError(greeting);
        if (Security == tlsExplicit) {
            Transaction("STLS");
            if (!Accepted(ReplyText)) {
                // Without TLS the password would go in clear: the log-on ends here.
                // Not even the farewell goes in clear.
                CloseSocket(false);
                ReportTlsFailure(TlsNotOfferedText(TlsHost(), TlsPort()));
                throw ProtocolReplyError(ReplyText.empty() ? std::string("STLS refused") : ReplyText);
            }
            StartTls();
        }
        Transaction("USER " + UserID);
        if (!Accepted(ReplyText))
            throw ProtocolReplyError("Authentication failed");
        Transaction("PASS " + Password);
        if (!Accepted(ReplyText))
            throw ProtocolReplyError("Authentication failed");
        loggedOn = true;
        Transaction("STAT");
        if (!Accepted(ReplyText))
            throw ProtocolReplyError(ReplyText);
        const std::string_view count = SecondWord(ReplyText);
        int value = 0;
        const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), value);
        m_mailCount = error == std::errc() && end == count.data() + count.size() ? value : 0;
    } catch (...) {
        try {
            Disconnect();
        } catch (const NetError&) {
            // The log-on's own failure is the one worth reporting.
        }
        m_busy = false;
        if (loggedOn)
            emit OnConnect();
        throw;
    }
    m_busy = false;
    emit OnConnect();
}

void TNMPOP3::Disconnect()
{
    if (!Connected()) {
        TPowersock::Disconnect();
        return;
    }
    try {
        Transaction("QUIT");
    } catch (...) {
        TPowersock::Disconnect();
        throw;
    }
    const std::string reply = ReplyText;
    TPowersock::Disconnect();
    if (!Accepted(reply))
        throw ProtocolReplyError(reply);
}

} // namespace net
