#pragma once
// The systemd journal's own line format. A service whose standard output or error goes to the
// journal (systemd then sets JOURNAL_STREAM to "device:inode" of that stream) may start each line with
// "<N>", N being the line's syslog priority; `journalctl -p warning` then finds what went wrong.
// Anywhere else (a terminal, a file, a pipe) lines stay as they are.

#include <string>
#include <string_view>

namespace platform {

enum class JournalPriority {
    Error = 3,
    Warning = 4,
    Info = 6,
};

// Whether the descriptor is the stream JOURNAL_STREAM names (its device and inode match fstat's).
bool IsJournalStream(int fd);
// Whether JOURNAL_STREAM names the stream given as "device:inode"; false for anything unreadable.
bool JournalStreamMatches(std::string_view journalStream, unsigned long long device,
                          unsigned long long inode);

// The line with the priority prefix when toJournal, else the line as it is.
std::string JournalLine(std::string_view line, JournalPriority priority, bool toJournal);

} // namespace platform
