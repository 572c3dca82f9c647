#include "port/portcontroller.h"

#include <QThread>

namespace qbx {

PortController::PortController(QObject* parent)
    : QObject(parent)
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

} // namespace qbx
