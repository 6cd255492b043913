#pragma once
// How replies of the line protocols (FTP, SMTP, POP3) are cut into lines and codes. The socket base
// reads with these rules; the clients only judge the codes.

#include <string>
#include <string_view>

class QAbstractSocket;

namespace net {

// The largest reply code kept: codes are 16-bit numbers, and a longer run of digits must not wrap
// round into a small code that would be judged as something it is not.
inline constexpr int kMaxReplyCode = 32767;

// A reply line (with its line end) may be at most this long; a longer one is refused rather than
// buffered without bound.
inline constexpr long long kMaxReplyLineLength = 65536;

// Caps the socket's read buffer at kMaxReplyLineLength, so that a line without end cannot grow it.
void CapReplyLines(QAbstractSocket& socket);

// Whether the capped socket holds a line longer than the cap: the read buffer stops at the cap, so
// such a line shows as a full buffer without a whole line in it.
bool ReplyLineTooLong(const QAbstractSocket& socket);

// The error text for such a line.
std::string ReplyLineTooLongText();

// The number formed by the leading decimal digits of a reply line (at most 10 digits are looked at),
// 0 when the line starts with no digit; capped at kMaxReplyCode.
int ReplyCodeOf(std::string_view line);

// The line without its line end (CR LF, LF, or a lone CR left by a cut line).
std::string_view WithoutLineEnd(std::string_view line);

// Whether the reply that began with firstLine goes on after line (a line of that reply, the first
// one included, as read, with or without its line end).
//
// A reply whose first line is "ddd-text" ends at a line that begins with three digits and a blank
// (or is just three digits), as RFC 959 and RFC 5321 have it; lines in between may hold any text.
// Any other reply goes on while the current line begins with a blank or has "-" as its fourth
// character. A line that lacks its line feed ended because the peer closed: nothing can follow it.
bool ReplyContinues(std::string_view firstLine, std::string_view line);

} // namespace net
