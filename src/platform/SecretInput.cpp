#include "platform/SecretInput.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

// Echo off for as long as it lives, and back as it was afterwards, whatever happens meanwhile.
class EchoOff
{
public:
    EchoOff()
    {
        m_ok = tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (!m_ok)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        m_ok = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (m_ok)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios m_saved{};
    bool m_ok = false;
};

void TakeLineEnd(std::string& text)
{
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
}

} // namespace

bool StdinIsTerminal()
{
    return isatty(STDIN_FILENO) != 0;
}

std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt)
{
    if (!StdinIsTerminal())
        return std::nullopt;
    std::cerr << prompt << std::flush;
    std::string line;
    {
        const EchoOff quiet;
        if (!std::getline(std::cin, line))
            return std::nullopt;
    }
    TakeLineEnd(line);
    return line;
}

std::optional<std::string> ReadSecretFromStdin()
{
    std::string all((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    if (std::cin.bad())
        return std::nullopt;
    TakeLineEnd(all);
    return all;
}

} // namespace platform
