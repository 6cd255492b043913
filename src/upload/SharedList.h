#pragma once
// The work of a parallel upload run: its files in list order and the state of their remote folders,
// shared by every connection of the run.

#include "upload/UploadPaths.h"

#include <QMutex>
#include <atomic>
#include <map>
#include <string>
#include <vector>

class QObject;

namespace net {
class TNMFTP;
}

namespace upload {

struct Job
{
    std::string path;
    ListedFile file;
    bool asIs = false;
};

// Each member may be called from any thread.
class SharedList
{
public:
    enum class Take { File, Folder, Wait, End };

    explicit SharedList(std::vector<Job> jobs) : m_jobs(std::move(jobs)) {}

    // The jobs never change once the run has started.
    const Job& At(size_t index) const { return m_jobs[index]; }

    // The next file in list order. makeFolder: this connection is the first to need the file's
    // remote folder and enters or makes it before the file goes. While another connection is making
    // that folder, Folder: the folder of a later file, for this connection to make ahead (each folder
    // takes a few round trips, which the idle connections spend on the next folders meanwhile);
    // Wait: no folder is left to make.
    Take Next(size_t& index, bool& makeFolder);
    void FolderReady(const std::string& folder);

    // No file is handed out any more. abort: the connections also stop what they are sending.
    void Stop(bool abort);
    bool Stopped() const;

    // Counts every change a waiting connection may be waiting for.
    unsigned Generation() const { return m_generation.load(); }

    // Whom to wake when something changes, and (for the extra connections) whom to stop.
    void AddWaker(QObject* waker);
    void AddConnection(net::TNMFTP* ftp);
    void RemoveConnection(net::TNMFTP* ftp);

private:
    Take FolderAhead(size_t& index);
    void Changed();

    mutable QMutex m_mutex;
    const std::vector<Job> m_jobs;
    size_t m_next = 0;
    // Every folder of the files before it has been taken by some connection.
    size_t m_ahead = 0;
    std::map<std::string, bool> m_folders; // false while being made
    bool m_stopped = false;
    std::atomic<unsigned> m_generation{0};
    std::vector<QObject*> m_wakers;
    std::vector<net::TNMFTP*> m_connections;
};

} // namespace upload
