#include "settings/KeyringPasswords.h"

#include "platform/Codepage.h"
#include "platform/Keyring.h"
#include "settings/ConfigFields.h"
#include "text/Sjis.h"
#include "text/jconvert.h"

#include <QString>
#include <map>
#include <sstream>

namespace settings {

namespace {

// One keyring entry per settings file holds all its passwords, so that two program folders never share
// one, a locked keyring costs one unlock, and an entry that is missing while the file says the keyring
// holds the passwords is noticed (a locked Secret Service answers a look-up as if nothing were there).
QString EntryKey()
{
    return QString::fromStdString(SettingsFilePath());
}

using Stored = std::map<std::string, std::string>;

std::string FieldName(const ConfigField& field)
{
    return std::string(field.section) + "/" + field.key;
}

// Lines "Section/Key=Base64 of the password".
std::string Serialize(const Stored& stored)
{
    std::string text;
    for (const auto& [name, pass] : stored)
        text += name + "=" + mail::Base64Encode(pass) + "\n";
    return text;
}

Stored Parse(const std::string& text)
{
    Stored stored;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            stored[line.substr(0, equals)] = mail::Base64Decode(line.substr(equals + 1));
    }
    return stored;
}

unsigned Bit(int service)
{
    return 1u << service;
}

template <typename Visit> void ForEachPassword(Visit visit)
{
    for (const ConfigField& field : ConfigFields())
        if (field.coding == FieldCoding::Password)
            visit(field, std::get<TextMember>(field.member));
}

bool PasswordInUse(const TConfig& c, int service)
{
    switch (service) {
    case psStatus:
        return c.StatusLogon != 0;
    case psFtp:
        return c.FtpUpload != 0;
    case psSmtp:
        return c.MailNotice != 0 && c.SmtpLogon != 0;
    case psPop:
        return c.MailNotice != 0 && c.PopLogon != 0;
    default:
        return c.DdnsUse != 0;
    }
}

std::u8string_view PasswordName(int service)
{
    switch (service) {
    case psStatus:
        return u8"ﾙｰﾀのﾊﾟｽﾜｰﾄﾞ";
    case psFtp:
        return u8"FTPのﾊﾟｽﾜｰﾄﾞ";
    case psSmtp:
        return u8"SMTP認証のﾊﾟｽﾜｰﾄﾞ";
    case psPop:
        return u8"POPのﾊﾟｽﾜｰﾄﾞ";
    case psDdns:
        return u8"DDNSのﾊﾟｽﾜｰﾄﾞ";
    default:
        return u8"DDNSのﾄｰｸﾝ";
    }
}

std::string NotFoundReason()
{
    return text::Sjis(u8"この設定のﾊﾟｽﾜｰﾄﾞがありません。ｷｰﾘﾝｸﾞがﾛｯｸされているか、削除されています");
}

} // namespace

void ReadKeyringPasswords(TConfig& config)
{
    config.KeyringUnread = 0;
    config.KeyringProblem.clear();
    const platform::KeyringAnswer answer = platform::KeyringRead(EntryKey());
    if (!answer.Ok()) {
        ForEachPassword(
            [&config](const ConfigField& field, TextMember) { config.KeyringUnread |= Bit(field.service); });
        config.KeyringProblem = answer.status == platform::KeyringAnswer::Status::NotFound
                                    ? NotFoundReason()
                                    : platform::QStringToCp932(answer.message);
        return;
    }
    const Stored stored = Parse(answer.secret);
    ForEachPassword([&](const ConfigField& field, TextMember member) {
        if (const auto it = stored.find(FieldName(field)); it != stored.end())
            config.*member = it->second;
    });
}

void WriteKeyringPasswords(const TConfig& config)
{
    // What could not be read at loading and was not typed anew since is kept from the entry, when the
    // keyring can give it now.
    Stored previous;
    if (config.KeyringUnread) {
        const platform::KeyringAnswer old = platform::KeyringRead(EntryKey());
        if (old.Ok())
            previous = Parse(old.secret);
    }
    Stored stored;
    ForEachPassword([&](const ConfigField& field, TextMember member) {
        const std::string name = FieldName(field);
        if (const std::string& pass = config.*member; !pass.empty())
            stored[name] = pass;
        else if ((config.KeyringUnread & Bit(field.service)) && previous.contains(name))
            stored[name] = previous[name];
    });
    const platform::KeyringAnswer answer = platform::KeyringWrite(EntryKey(), Serialize(stored));
    if (!answer.Ok())
        throw KeyringWriteError(text::Sjis(u8"ﾊﾟｽﾜｰﾄﾞをｷｰﾘﾝｸﾞに保存できません: ") +
                                platform::QStringToCp932(answer.message));
}

void ForgetKeyringPasswords()
{
    platform::KeyringDelete(EntryKey());
}

std::string MissingKeyringPasswords(const TConfig& config)
{
    std::string names;
    ForEachPassword([&](const ConfigField& field, TextMember) {
        if (!(config.KeyringUnread & Bit(field.service)) || !PasswordInUse(config, field.service))
            return;
        if (!names.empty())
            names += text::Sjis(u8"、");
        names += text::Sjis(PasswordName(field.service));
    });
    if (names.empty())
        return {};
    return text::Sjis(u8"ｷｰﾘﾝｸﾞからﾊﾟｽﾜｰﾄﾞを読めません(") + config.KeyringProblem + text::Sjis(u8")。\r\n") +
           text::Sjis(u8"読めなかったﾊﾟｽﾜｰﾄﾞ: ") + names;
}

} // namespace settings
