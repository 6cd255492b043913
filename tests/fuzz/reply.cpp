// The reply reader's rules on any server output: the input is cut into lines as the socket base
// reads them, and every reply is read to its end as the clients do.
#include "net/Reply.h"
#include "FuzzInput.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const auto nextLine = [&rest]() {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
        rest.remove_prefix(line.size());
        return line;
    };
    while (!rest.empty()) {
        const std::string_view first = nextLine();
        const int code = net::ReplyCodeOf(first);
        fuzz::Check(code >= 0 && code <= net::kMaxReplyCode, "a reply code stays in its range");
        const std::string_view text = net::WithoutLineEnd(first);
        fuzz::Check(first.substr(0, text.size()) == text, "the line without its end is a prefix");
        fuzz::Check(text.empty() || (text.back() != '\n' && text.back() != '\r'), "no line end is left");
        std::string_view line = first;
        while (net::ReplyContinues(first, line)) {
            fuzz::Check(!rest.empty() || line.back() == '\n', "a reply goes on only after a whole line");
            if (rest.empty())
                break; // the peer closed: the reader ends here with what it has
            line = nextLine();
            net::ReplyCodeOf(line);
        }
    }
    return 0;
}
