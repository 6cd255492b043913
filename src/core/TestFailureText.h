#pragma once
// Why a test button's connection or step failed, in words for the person who pressed it: a refused
// connection, no answer within the time limit, a server name that has no address, and the server's
// own reply where there is one. Used by the FTP and mail tests of the settings dialog and their
// command-line twins.

#include "core/StatusPageFetcher.h"

#include <string>

namespace core {

// The sentence for a failure that is the network's rather than the server's answer, judged from the
// failure's text (the components' messages) and the socket error number last reported (0: none).
// Empty when the failure is neither a refusal, a time-out nor an unknown host.
std::string NetworkFailureText(const std::string& errorText, int socketError, int timeOutMs);

// Why a page was not read: no answer within limitMs, an answer other than 2xx (with its code), or
// the transfer's error. Empty when the page was read.
std::string PageReadFailureText(const FetchOutcome& outcome, bool timedOut, int limitMs);
// Whether the answer was a page: a 2xx status, in time.
bool PageWasRead(const FetchOutcome& outcome, bool timedOut);

// "\r\nｻｰﾊﾞｰの応答: <reply>" for a server's reply line (line ends dropped); empty for no reply.
std::string ServerReplyText(const std::string& reply);

// True for a reply line that starts with a three-digit code (what the server said, as opposed to
// the components' own failure messages).
bool IsServerReply(const std::string& text);

} // namespace core
