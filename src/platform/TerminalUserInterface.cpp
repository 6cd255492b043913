#include "platform/TerminalUserInterface.h"

#include "platform/Codepage.h"
#include "platform/JournalStream.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace platform {

namespace {

// To the journal, every line of a message carries its priority (a line without one would count as
// information); elsewhere the message is written as it is.
void Print(const char* prefix, const std::string& text, JournalPriority priority = JournalPriority::Info)
{
    const std::string message = prefix + Cp932ToUtf8(text);
    if (!IsJournalStream(STDERR_FILENO)) {
        std::cerr << message << std::endl;
        return;
    }
    size_t start = 0;
    while (start <= message.size()) {
        size_t end = message.find('\n', start);
        if (end == std::string::npos)
            end = message.size();
        std::string line = message.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::cerr << JournalLine(line, priority, true) << '\n';
        start = end + 1;
    }
    std::cerr.flush();
}

} // namespace

void TerminalUserInterface::ShowWarning(const std::string& text, const std::string&)
{
    Print("warning: ", text, JournalPriority::Warning);
}

void TerminalUserInterface::ShowInformation(const std::string& text, const std::string&)
{
    Print("", text);
}

void TerminalUserInterface::ShowMessage(const std::string& text, const std::string&)
{
    Print("", text);
}

bool TerminalUserInterface::AskYesNo(const std::string& text, const std::string&)
{
    Print("", text);
    if (!m_askOnTerminal || !isatty(STDIN_FILENO)) {
        std::cerr << "(no terminal: answered No)" << std::endl;
        return false;
    }
    std::cerr << "[y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

void TerminalUserInterface::SetStatusText(const std::string&) {}

bool TerminalUserInterface::OpenDocument(const std::string& path)
{
    // A terminal user reads the file themselves; say where it is.
    Print("see: ", path);
    return true;
}

} // namespace platform
