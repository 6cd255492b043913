#pragma once
// The program's answer to a server certificate that the system does not vouch for: trusted when the
// user chose to trust exactly this certificate for this host and port ([Security] of the settings),
// else put to the user when one is present (the settings dialog's tests, the command line on a
// terminal). A yes is kept in the live settings and written to the settings file at once, so that
// the unattended checks that follow trust it too; they themselves never ask.

#include "net/Tls.h"

#include <functional>

namespace platform {
class UserInterface;
}
namespace settings {
class TConfig;
}

namespace core {

class CertificateTrust : public net::TlsTrust
{
public:
    // settings gives the live settings object (null once it is gone: nothing is trusted then). ui is
    // the person to ask; null for unattended work.
    CertificateTrust(std::function<settings::TConfig*()> settings, platform::UserInterface* ui);

    bool IsTrusted(const std::string& host, quint16 port, const std::string& fingerprint) const override;
    bool ConfirmTrust(const net::CertificateInfo& certificate) override;

private:
    std::function<settings::TConfig*()> m_settings;
    platform::UserInterface* m_ui;
};

} // namespace core
