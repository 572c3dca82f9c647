#pragma once

#include "transport.h"

#include <QStringList>

// libcups names its connection type this way; declared here to keep cups.h out of the header.
typedef struct _http_s http_t; // NOLINT(bugprone-reserved-identifier)

namespace TeskKit {

// One raw job on a print queue of the system, through libcups: created at open(), streamed by
// write(), finished by finish(), which then checks that the queue took the job up rather than
// holding or stopping it.
class QueueTransport final : public Transport
{
public:
    QueueTransport(QString queue, PortTimeouts timeouts = {});
    ~QueueTransport() override;

    bool open() override;
    bool write(QByteArrayView data) override;
    bool finish() override;
    void abort() override;

private:
    bool checkJobTakenUp();
    bool failWithCupsError(const QString& action);
    void closeConnection();

    QString m_queue;
    PortTimeouts m_timeouts;
    http_t* m_http = nullptr;
    int m_job = 0;
};

// The names of the print queues the system offers, the default first.
QStringList printQueueNames();

} // namespace TeskKit
