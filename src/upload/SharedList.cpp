#include "upload/SharedList.h"

#include "net/NMFtp.h"

#include <QMutexLocker>
#include <algorithm>

namespace upload {

SharedList::Take SharedList::Next(size_t& index, bool& makeFolder)
{
    const QMutexLocker lock(&m_mutex);
    if (m_stopped || m_next >= m_jobs.size())
        return Take::End;
    const std::string& folder = m_jobs[m_next].file.RemoteFolder;
    makeFolder = false;
    if (!folder.empty()) {
        const auto [it, added] = m_folders.try_emplace(folder, false);
        if (added)
            makeFolder = true;
        else if (!it->second)
            return FolderAhead(index);
    }
    index = m_next++;
    return Take::File;
}

// Called with the mutex held; the index of the file whose folder is to be made goes to index.
SharedList::Take SharedList::FolderAhead(size_t& index)
{
    for (m_ahead = std::max(m_ahead, m_next + 1); m_ahead < m_jobs.size(); ++m_ahead) {
        const std::string& folder = m_jobs[m_ahead].file.RemoteFolder;
        if (!folder.empty() && m_folders.try_emplace(folder, false).second) {
            index = m_ahead++;
            return Take::Folder;
        }
    }
    return Take::Wait;
}

void SharedList::FolderReady(const std::string& folder)
{
    const QMutexLocker lock(&m_mutex);
    m_folders[folder] = true;
    Changed();
}

void SharedList::Stop(bool abort)
{
    const QMutexLocker lock(&m_mutex);
    m_stopped = true;
    if (abort) {
        for (net::TNMFTP* ftp : m_connections)
            QMetaObject::invokeMethod(
                ftp,
                [ftp] {
                    ftp->Abort();
                    ftp->Cancel();
                },
                Qt::QueuedConnection);
    }
    Changed();
}

bool SharedList::Stopped() const
{
    const QMutexLocker lock(&m_mutex);
    return m_stopped;
}

void SharedList::AddWaker(QObject* waker)
{
    const QMutexLocker lock(&m_mutex);
    m_wakers.push_back(waker);
}

void SharedList::AddConnection(net::TNMFTP* ftp)
{
    const QMutexLocker lock(&m_mutex);
    m_wakers.push_back(ftp);
    m_connections.push_back(ftp);
}

void SharedList::RemoveConnection(net::TNMFTP* ftp)
{
    const QMutexLocker lock(&m_mutex);
    std::erase(m_wakers, static_cast<QObject*>(ftp));
    std::erase(m_connections, ftp);
}

// Called with the mutex held, so that no waker can go away meanwhile.
void SharedList::Changed()
{
    ++m_generation;
    for (QObject* waker : m_wakers)
        QMetaObject::invokeMethod(
            waker, [] {}, Qt::QueuedConnection);
}

} // namespace upload
