#pragma once
// The user interface of the command-line tools: messages go to standard error in UTF-8, questions
// are asked on the terminal when there is one and answered No otherwise.

#include "platform/UserInterface.h"

namespace platform {

class TerminalUserInterface : public UserInterface
{
public:
    // askOnTerminal false: questions are answered No without reading anything (services).
    explicit TerminalUserInterface(bool askOnTerminal = true) : m_askOnTerminal(askOnTerminal) {}

    void ShowWarning(const std::string& text, const std::string& caption) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void SetStatusText(const std::string& text) override;
    bool OpenDocument(const std::string& path) override;

private:
    bool m_askOnTerminal;
};

} // namespace platform
