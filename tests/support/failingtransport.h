#pragma once

#include "transport.h"

#include <QByteArray>

#include <algorithm>
#include <memory>

namespace qbx::test {

// What a FailingTransport did, kept apart from it so that a test can look after the session
// has dropped the transport.
struct TransportLog
{
    QByteArray written;
    int aborts = 0;
};

// A transport that fails to open, after a number of bytes, or at finishing, for the session's
// failure paths.
class FailingTransport final : public TeskKit::Transport
{
public:
    struct Faults
    {
        bool failOpen = false;
        qint64 failAfterBytes = -1; // -1: never
        bool failFinish = false;
    };

    FailingTransport(std::shared_ptr<TransportLog> log, Faults faults)
        : m_log(std::move(log))
        , m_faults(faults)
    {}

    bool open() override { return !m_faults.failOpen || fail(QStringLiteral("test port: cannot open")); }

    bool write(QByteArrayView data) override
    {
        const qint64 room =
            m_faults.failAfterBytes < 0 ? data.size() : m_faults.failAfterBytes - m_log->written.size();
        m_log->written.append(data.first(std::clamp<qint64>(room, 0, data.size())));
        return room >= data.size() || fail(QStringLiteral("test port: write failed"));
    }

    bool finish() override
    {
        return !m_faults.failFinish || fail(QStringLiteral("test port: finish failed"));
    }

    void abort() override { ++m_log->aborts; }

private:
    std::shared_ptr<TransportLog> m_log;
    Faults m_faults;
};

} // namespace qbx::test
