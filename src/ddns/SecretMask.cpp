#include "ddns/SecretMask.h"

#include "platform/HexDigit.h"
#include "settings/ConfigUnit.h"

#include <QByteArray>
#include <vector>

namespace ddns {

namespace {

using platform::HexDigit;

constexpr const char* kMask = "****";

// The length of the secret's occurrence at text[at], each byte plain, as %hh or (a blank) as "+";
// 0 when it does not occur there.
size_t MatchAt(const std::string& text, size_t at, const std::string& secret)
{
    size_t k = at;
    for (const char wanted : secret) {
        if (k >= text.size())
            return 0;
        if (text[k] == wanted) {
            ++k;
        } else if (text[k] == '%' && k + 2 < text.size() && HexDigit(text[k + 1]) >= 0 &&
                   HexDigit(text[k + 2]) >= 0 &&
                   static_cast<char>(HexDigit(text[k + 1]) * 16 + HexDigit(text[k + 2])) == wanted) {
            k += 3;
        } else if (wanted == ' ' && text[k] == '+') {
            ++k;
        } else {
            return 0;
        }
    }
    return k - at;
}

void MaskEncodings(std::string& text, const std::string& secret)
{
    for (size_t at = 0; at < text.size();) {
        const size_t length = MatchAt(text, at, secret);
        if (length == 0) {
            ++at;
            continue;
        }
        text.replace(at, length, kMask);
        at += 4;
    }
}

void MaskPlain(std::string& text, const std::string& form)
{
    for (size_t at = text.find(form); at != std::string::npos; at = text.find(form, at + 4))
        text.replace(at, form.size(), kMask);
}

// Base64 without its padding, so that the form is found however the echo ends.
std::string Base64Of(const std::string& bytes)
{
    return QByteArray::fromStdString(bytes).toBase64(QByteArray::OmitTrailingEquals).toStdString();
}

} // namespace

std::string MaskSecrets(std::string text, const settings::TConfig& config)
{
    std::vector<std::string> encoded;
    if (!config.DdnsPass.empty()) {
        encoded.push_back(Base64Of(config.DdnsUser + ":" + config.DdnsPass));
        encoded.push_back(Base64Of(config.DdnsPass));
    }
    if (!config.DdnsToken.empty())
        encoded.push_back(Base64Of(config.DdnsToken));
    // The longer forms first: a base64 form may hold a short secret's letters.
    for (const std::string& form : encoded)
        MaskPlain(text, form);
    for (const std::string* secret : {&config.DdnsPass, &config.DdnsToken})
        if (!secret->empty())
            MaskEncodings(text, *secret);
    return text;
}

} // namespace ddns
