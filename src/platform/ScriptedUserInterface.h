#pragma once
// A user interface without a person: every call is recorded, questions are answered from a queue
// (and, when the queue is empty, with the default answer). Used by the headless service and by the
// tests.

#include "platform/UserInterface.h"

#include <deque>
#include <string>
#include <vector>

namespace platform {

class ScriptedUserInterface : public UserInterface
{
public:
    enum class Kind {
        Warning,
        Information,
        Message,
        Question,
        Status,
        Open,
        Monitoring,
    };
    struct Call
    {
        Kind kind;
        std::string text;
        std::string caption;
    };

    explicit ScriptedUserInterface(bool defaultAnswer = false) : m_defaultAnswer(defaultAnswer) {}

    void QueueAnswer(bool yes) { m_answers.push_back(yes); }
    // The next information box with a "詳細" button answers with it (true) or with OK; once the queue
    // is empty, OK. Such a box is recorded as an information box.
    void QueueDetailsChoice(bool details) { m_detailsChoices.push_back(details); }
    void SetOpenResult(bool ok) { m_openResult = ok; }
    const std::vector<Call>& Calls() const { return m_calls; }
    size_t Count(Kind kind) const;
    void Clear() { m_calls.clear(); }

    void ShowWarning(const std::string& text, const std::string& caption) override;
    void ShowInformation(const std::string& text, const std::string& caption) override;
    bool ShowInformationWithDetails(const std::string& text, const std::string& caption) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void SetStatusText(const std::string& text) override;
    bool OpenDocument(const std::string& path) override;
    void SetMonitoring(bool running) override;

private:
    bool m_defaultAnswer;
    bool m_openResult = true;
    std::deque<bool> m_answers;
    std::deque<bool> m_detailsChoices;
    std::vector<Call> m_calls;
};

} // namespace platform
