#include "core/CertificateTrust.h"

#include "core/Version.h"
#include "platform/UserInterface.h"
#include "settings/ConfigUnit.h"

namespace core {

CertificateTrust::CertificateTrust(std::function<settings::TConfig*()> settings, platform::UserInterface* ui)
    : m_settings(std::move(settings)), m_ui(ui)
{
}

bool CertificateTrust::IsTrusted(const std::string& host, quint16 port, const std::string& fingerprint) const
{
    const settings::TConfig* config = m_settings ? m_settings() : nullptr;
    return config && settings::IsCertificateTrusted(*config, host, port, fingerprint);
}

bool CertificateTrust::ConfirmTrust(const net::CertificateInfo& certificate)
{
    settings::TConfig* config = m_settings ? m_settings() : nullptr;
    if (!m_ui || !config)
        return false;
    if (!m_ui->AskTrustCertificate(net::TrustQuestion(certificate), kProgramTitle))
        return false;
    config->TrustedCertificates[settings::CertificateKey(certificate.Host, certificate.Port)] =
        certificate.Fingerprint;
    try {
        settings::SaveSettings(*config, settings::SaveScope::Security);
    } catch (const settings::SettingsWriteError& e) {
        // Trusted for as long as the program runs; the user learns why it will be asked again.
        m_ui->ShowWarning(e.what(), kProgramTitle);
    }
    return true;
}

} // namespace core
