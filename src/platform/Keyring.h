#pragma once
// The desktop's keyring (the Secret Service on Linux desktops, through qtkeychain): secrets kept under
// a key of the program's own. Each call waits for the keyring's answer in the one wait helper, so
// the windows keep being drawn while the desktop asks the user to unlock the keyring.

#include <QString>
#include <string>

namespace platform {

struct KeyringAnswer
{
    enum class Status {
        Ok,
        NotFound,    // nothing stored under the key (a read or a delete)
        Unavailable, // no keyring, locked, refused, or no answer in time: see message
    };
    Status status = Status::Unavailable;
    // What was read (bytes as stored).
    std::string secret;
    // Why the keyring could not serve, in the keyring's own words (empty on success).
    QString message;

    bool Ok() const { return status == Status::Ok; }
};

// How long a call waits for the keyring, the user's unlocking included.
inline constexpr int kKeyringWaitMs = 120000;

KeyringAnswer KeyringRead(const QString& key);
KeyringAnswer KeyringWrite(const QString& key, const std::string& secret);
KeyringAnswer KeyringDelete(const QString& key);

} // namespace platform
