#include "platform/Keyring.h"

#include "platform/WaitLoop.h"

#include <qt6keychain/keychain.h>

#include <memory>

namespace platform {

namespace {

// The keyring's entries of this program are filed under this service name.
const QString kService = QStringLiteral("Quillmap");

KeyringAnswer Run(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, [&finished] { finished = true; });
    job.start();
    KeyringAnswer answer;
    if (WaitUntil([&finished] { return finished; }, kKeyringWaitMs) != WaitResult::Done) {
        answer.message = QStringLiteral("no answer from the keyring within %1 s").arg(kKeyringWaitMs / 1000);
        return answer;
    }
    switch (job.error()) {
    case QKeychain::NoError:
        answer.status = KeyringAnswer::Status::Ok;
        break;
    case QKeychain::EntryNotFound:
        answer.status = KeyringAnswer::Status::NotFound;
        break;
    default:
        answer.message = job.errorString();
        if (answer.message.isEmpty())
            answer.message = QStringLiteral("keyring error %1").arg(static_cast<int>(job.error()));
        break;
    }
    return answer;
}

} // namespace

KeyringAnswer KeyringRead(const QString& key)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(key);
    KeyringAnswer answer = Run(job);
    if (answer.Ok())
        answer.secret = job.binaryData().toStdString();
    return answer;
}

KeyringAnswer KeyringWrite(const QString& key, const std::string& secret)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(key);
    job.setBinaryData(QByteArray::fromStdString(secret));
    return Run(job);
}

KeyringAnswer KeyringDelete(const QString& key)
{
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(key);
    return Run(job);
}

} // namespace platform
