#pragma once
// Passwords and tokens never leave the program: every form in which a provider's answer (or an error
// text carrying a request address) may echo them is replaced by "****" before the text is cut to a
// row or stored anywhere.

#include <string>

namespace settings {
class TConfig;
}

namespace ddns {

// The text with every form of the DDNS password and token masked: as they are, percent-encoded (hex
// digits in either case, any mix with plain characters), with "+" for a blank, and the base64 of
// the password, the token and "user:password" (the basic authorization).
std::string MaskSecrets(std::string text, const settings::TConfig& config);

} // namespace ddns
