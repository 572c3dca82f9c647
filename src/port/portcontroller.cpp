#include "port/portcontroller.h"

#include "port/reporter.h"

#include <QThread>

namespace TeskKit {

// Passes on what the session says on the caller's thread; on the port's thread the session
// speaks only of the transmission, whose outcome carries the same message.
class PortController::OutsideTransmissionReporter final : public Reporter
{
public:
    OutsideTransmissionReporter(Reporter& reporter, const QObject& owner)
        : m_reporter(reporter)
        , m_owner(owner)
    {}

    void report(const QString& message) override
    {
        if (QThread::currentThread() == m_owner.thread())
            m_reporter.report(message);
    }

private:
    Reporter& m_reporter;
    const QObject& m_owner;
};

PortController::PortController(Reporter& reporter, QObject* parent)
    : QObject(parent)
    , m_reporter(std::make_unique<OutsideTransmissionReporter>(reporter, *this))
    , m_session(*m_reporter)
{}

PortController::~PortController()
{
    if (!m_thread)
        return;
    cancel();
    m_thread->quit();
    m_thread->wait();
    delete m_context;
    delete m_thread;
}

bool PortController::transmit(Transmission transmission)
{
    return run(Work::Transmission, [this, transmission = std::move(transmission)] {
        qbx::StreamPort& port = m_port ? *m_port : m_session;
        transmission(port);
        TransmissionOutcome outcome = m_session.lastOutcome();
        if (m_port) {
            outcome = {};
            outcome.result = port.PortFailed() ? TransmissionOutcome::Result::Failed
                                               : TransmissionOutcome::Result::Delivered;
        }
        QMetaObject::invokeMethod(
            this,
            [this, outcome] {
                m_busy = false;
                emit transmitted(outcome);
            },
            Qt::QueuedConnection);
    });
}

bool PortController::runCheck(std::function<void()> work, std::function<void()> done)
{
    return run(Work::Check, [this, work = std::move(work), done = std::move(done)] {
        work();
        QMetaObject::invokeMethod(
            this,
            [this, done] {
                m_busy = false;
                done();
            },
            Qt::QueuedConnection);
    });
}

bool PortController::run(Work kind, std::function<void()> work)
{
    if (m_busy)
        return false;
    if (!m_thread) {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("printer port"));
        m_context = new QObject;
        m_context->moveToThread(m_thread);
        m_thread->start();
    }
    m_busy = true;
    emit started(kind);
    QMetaObject::invokeMethod(m_context, std::move(work), Qt::QueuedConnection);
    return true;
}

} // namespace TeskKit
