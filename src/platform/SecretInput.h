#pragma once
// Reading a secret (a password, a token) without it ever standing on a command line, where every
// user of the machine could read it in the process list and the shell would keep it in its history.

#include <optional>
#include <string>

namespace platform {

// Asks on the terminal (standard input) with the prompt on standard error and the typing not echoed;
// nothing when standard input is no terminal or the input ends before a line. UTF-8, without the line
// end.
std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt);

// The whole of standard input as the secret, one line end at its end taken off (what `echo` or a
// here-string adds); nothing when it cannot be read.
std::optional<std::string> ReadSecretFromStdin();

// Whether standard input is a terminal.
bool StdinIsTerminal();

} // namespace platform
