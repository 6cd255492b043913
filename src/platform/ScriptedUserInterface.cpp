#include "platform/ScriptedUserInterface.h"

#include <algorithm>

namespace platform {

size_t ScriptedUserInterface::Count(Kind kind) const
{
    return static_cast<size_t>(
        std::count_if(m_calls.begin(), m_calls.end(), [kind](const Call& c) { return c.kind == kind; }));
}

void ScriptedUserInterface::ShowWarning(const std::string& text, const std::string& caption)
{
    m_calls.push_back({Kind::Warning, text, caption});
}

void ScriptedUserInterface::ShowInformation(const std::string& text, const std::string& caption)
{
    m_calls.push_back({Kind::Information, text, caption});
}

bool ScriptedUserInterface::ShowInformationWithDetails(const std::string& text, const std::string& caption)
{
    m_calls.push_back({Kind::Information, text, caption});
    if (m_detailsChoices.empty())
        return false;
    const bool details = m_detailsChoices.front();
    m_detailsChoices.pop_front();
    return details;
}

void ScriptedUserInterface::ShowMessage(const std::string& text, const std::string& caption)
{
    m_calls.push_back({Kind::Message, text, caption});
}

bool ScriptedUserInterface::AskYesNo(const std::string& text, const std::string& caption)
{
    m_calls.push_back({Kind::Question, text, caption});
    if (m_answers.empty())
        return m_defaultAnswer;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void ScriptedUserInterface::SetStatusText(const std::string& text)
{
    m_calls.push_back({Kind::Status, text, {}});
}

bool ScriptedUserInterface::OpenDocument(const std::string& path)
{
    m_calls.push_back({Kind::Open, path, {}});
    return m_openResult;
}

void ScriptedUserInterface::SetMonitoring(bool running)
{
    m_calls.push_back({Kind::Monitoring, running ? "on" : "off", {}});
}

} // namespace platform
