#pragma once
// The status page loaded by a child process: this program itself, run as
// `quillmap fetch-status --engine --request-stdin`, which reads the request from its standard input
// (kept open while the load runs), loads the page in the browser engine and writes the body markup to
// its standard output. The engine (a large library with threads of its own)
// then lives only as long as one load; Stop ends the child at once.

#include "core/StatusPageFetcher.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QProcess;

namespace core {

// The request as the child reads it: one line of JSON (credentials included, so they never show in
// the process list).
QByteArray EncodeStatusRequest(const StatusRequest& request, int limitMs);
// False when the line is not a request.
bool DecodeStatusRequest(const QByteArray& line, StatusRequest& request, int& limitMs);
// The child's answer: the outcome as one line of JSON, then the body markup.
QByteArray EncodeFetchOutcome(const FetchOutcome& outcome);
FetchOutcome DecodeFetchOutcome(const QByteArray& line);

class ProcessStatusFetcher final : public QObject, public StatusPageFetcher
{
public:
    // program and arguments of the child; by default this program with the arguments above.
    explicit ProcessStatusFetcher(QString program = {}, QStringList arguments = {});
    ~ProcessStatusFetcher() override;

    void Navigate(const StatusRequest& request) override;
    bool Busy() const override { return m_busy; }
    void Stop() override;
    std::string BodyHtml() const override { return m_body; }
    FetchOutcome Outcome() const override { return m_outcome; }

    // The child gives up by itself after this long; negative: only its parent ends it (by Stop, or by
    // going away: the child ends when its standard input closes, so none stays behind a dead parent).
    int LimitMs = -1;

private:
    void ReadOutput();
    void Finished(int exitCode, bool crashed);
    void EndChild();

    QString m_program;
    QStringList m_arguments;
    std::unique_ptr<QProcess> m_process;
    bool m_busy = false;
    QByteArray m_output;
    std::string m_body;
    FetchOutcome m_outcome;
};

} // namespace core
