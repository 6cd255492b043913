#pragma once
// The passwords (router, FTP, SMTP, POP, DDNS password and token) kept in the desktop's keyring
// instead of the settings file, when [Config] Keyring is on. The file then holds them empty, so that
// a file copied elsewhere carries no password at all.

#include "settings/ConfigUnit.h"

#include <string>

namespace settings {

// Fills the passwords from the keyring's entry for this settings file. When the keyring cannot serve
// (absent, locked, refused) or holds no entry, the passwords keep what the file held (nothing),
// config.KeyringUnread marks them and config.KeyringProblem says why.
void ReadKeyringPasswords(TConfig& config);

// Stores every password in the keyring. A password that could not be read and is still empty keeps
// what the entry holds, so a keyring that was locked at start loses nothing.
// Throws KeyringWriteError when the keyring cannot take them.
void WriteKeyringPasswords(const TConfig& config);

// Removes the entry of this settings file from the keyring, as far as it can.
void ForgetKeyringPasswords();

// The passwords the settings use (those of the switched-on functions) that could not be read from
// the keyring, as one code page 932 text naming each with the keyring's reason; empty when none.
std::string MissingKeyringPasswords(const TConfig& config);

} // namespace settings
