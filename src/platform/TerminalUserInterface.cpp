#include "platform/TerminalUserInterface.h"

#include "platform/Codepage.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace platform {

namespace {

void Print(const char* prefix, const std::string& text)
{
    std::cerr << prefix << Cp932ToUtf8(text) << std::endl;
}

} // namespace

void TerminalUserInterface::ShowWarning(const std::string& text, const std::string&)
{
    Print("warning: ", text);
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
