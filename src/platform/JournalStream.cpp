#include "platform/JournalStream.h"

#include <charconv>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {

namespace {

bool ParseNumber(std::string_view text, unsigned long long& value)
{
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && at == end && !text.empty();
}

} // namespace

bool JournalStreamMatches(std::string_view journalStream, unsigned long long device, unsigned long long inode)
{
    const size_t colon = journalStream.find(':');
    unsigned long long d = 0;
    unsigned long long i = 0;
    return colon != std::string_view::npos && ParseNumber(journalStream.substr(0, colon), d) &&
           ParseNumber(journalStream.substr(colon + 1), i) && d == device && i == inode;
}

bool IsJournalStream(int fd)
{
    const char* value = std::getenv("JOURNAL_STREAM");
    struct stat st
    {
    };
    if (!value || fstat(fd, &st) != 0)
        return false;
    return JournalStreamMatches(value, static_cast<unsigned long long>(st.st_dev),
                                static_cast<unsigned long long>(st.st_ino));
}

std::string JournalLine(std::string_view line, JournalPriority priority, bool toJournal)
{
    if (!toJournal)
        return std::string(line);
    return "<" + std::to_string(static_cast<int>(priority)) + ">" + std::string(line);
}

} // namespace platform
