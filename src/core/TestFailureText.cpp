#include "core/TestFailureText.h"

#include "platform/Codepage.h"
#include "text/Sjis.h"

#include <algorithm>
#include <cctype>

namespace core {

namespace {

constexpr int kErrTimedOut = 10060;
constexpr int kErrRefused = 10061;
constexpr int kErrHostNotFound = 11001;

bool Contains(const std::string& text, std::string_view part)
{
    const auto lower = [](unsigned char c) { return static_cast<char>(std::tolower(c)); };
    std::string a = text;
    std::transform(a.begin(), a.end(), a.begin(), lower);
    std::string b(part);
    std::transform(b.begin(), b.end(), b.begin(), lower);
    return a.find(b) != std::string::npos;
}

} // namespace

std::string NetworkFailureText(const std::string& errorText, int socketError, int timeOutMs)
{
    if (socketError == kErrRefused || Contains(errorText, "refused"))
        return text::Sjis(u8"接続を拒否されました(ｻｰﾊﾞｰ名とﾎﾟｰﾄ番号を確認してください)。");
    if (socketError == kErrTimedOut || Contains(errorText, "timed out") || Contains(errorText, "aborted"))
        return text::Sjis(u8"制限時間(") + std::to_string((timeOutMs + 999) / 1000) +
               text::Sjis(u8"秒)内にｻｰﾊﾞｰから応答がありませんでした(ﾀｲﾑｱｳﾄ)。");
    if (socketError == kErrHostNotFound || Contains(errorText, "Null Remote Address") ||
        Contains(errorText, "Host Lookup") || Contains(errorText, "host not found"))
        return text::Sjis(u8"ｻｰﾊﾞｰ名のIPｱﾄﾞﾚｽが見つかりませんでした。");
    return {};
}

std::string PageReadFailureText(const FetchOutcome& outcome, bool timedOut, int limitMs)
{
    if (PageWasRead(outcome, timedOut))
        return {};
    if (timedOut)
        return NetworkFailureText("timed out", 0, limitMs);
    if (outcome.httpStatus != 0)
        return text::Sjis(u8"ｻｰﾊﾞｰの答えは HTTP ") + std::to_string(outcome.httpStatus) + text::Sjis(u8" でした。");
    const std::string error = platform::QStringToCp932(outcome.error);
    const std::string network = NetworkFailureText(error, 0, limitMs);
    if (!network.empty())
        return network;
    return error.empty() ? std::string() : text::Sjis(u8"詳細: ") + error;
}

bool PageWasRead(const FetchOutcome& outcome, bool timedOut)
{
    return !timedOut && outcome.httpStatus >= 200 && outcome.httpStatus <= 299;
}

std::string ServerReplyText(const std::string& reply)
{
    std::string line = reply;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    if (line.empty())
        return {};
    return "\r\n" + text::Sjis(u8"ｻｰﾊﾞｰの応答: ") + line;
}

bool IsServerReply(const std::string& text)
{
    // A reply is three digits and then a blank, a hyphen or nothing; "10061:Connection refused" is a
    // socket error, not a reply.
    const bool digits = text.size() >= 3 && std::all_of(text.begin(), text.begin() + 3, [](unsigned char c) {
                            return c >= '0' && c <= '9';
                        });
    return digits && (text.size() == 3 || text[3] == ' ' || text[3] == '-');
}

} // namespace core
