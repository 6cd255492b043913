#include "net/Reply.h"

#include <QAbstractSocket>

namespace net {

void CapReplyLines(QAbstractSocket& socket)
{
    socket.setReadBufferSize(kMaxReplyLineLength);
}

bool ReplyLineTooLong(const QAbstractSocket& socket)
{
    return !socket.canReadLine() && socket.bytesAvailable() >= kMaxReplyLineLength;
}

std::string ReplyLineTooLongText()
{
    return "Reply line longer than " + std::to_string(kMaxReplyLineLength) + " bytes without a line feed";
}

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool StartsWithThreeDigits(std::string_view s)
{
    return s.size() >= 3 && IsDigit(s[0]) && IsDigit(s[1]) && IsDigit(s[2]);
}

} // namespace

int ReplyCodeOf(std::string_view line)
{
    long long value = 0;
    for (size_t i = 0; i < line.size() && i < 10 && IsDigit(line[i]); ++i)
        value = value * 10 + (line[i] - '0');
    return value > kMaxReplyCode ? kMaxReplyCode : static_cast<int>(value);
}

std::string_view WithoutLineEnd(std::string_view line)
{
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

bool ReplyContinues(std::string_view firstLine, std::string_view line)
{
    if (line.empty() || line.back() != '\n')
        return false;
    const std::string_view first = WithoutLineEnd(firstLine);
    const std::string_view current = WithoutLineEnd(line);
    if (StartsWithThreeDigits(first) && first.size() >= 4 && first[3] == '-') {
        const bool endLine = StartsWithThreeDigits(current) && (current.size() == 3 || current[3] == ' ');
        return !endLine;
    }
    return (!current.empty() && current[0] == ' ') || (current.size() >= 4 && current[3] == '-');
}

} // namespace net
