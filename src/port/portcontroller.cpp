#include "port/portcontroller.h"

#include "port/storerecord.h"

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

bool PortController::transmit(Transmission transmission, bool keepsSettings)
{
    auto outcome = std::make_shared<TransmissionOutcome>();
    return runOnPort(
        [this, transmission = std::move(transmission), outcome, keepsSettings] {
            // The record cannot follow what the window sends. One it cannot forget stays as the
            // command line left it; the window keeps no record of its own to warn about.
            if (!keepsSettings && !m_port) {
                const StoreRecord record(m_session.config());
                QString ignored;
                if (record.exists())
                    record.forgetAll(&ignored);
            }
            qbx::StreamPort& port = m_port ? *m_port : m_session;
            transmission(port);
            if (!m_port) {
                *outcome = m_session.lastOutcome();
                return;
            }
            outcome->result = port.PortFailed() ? TransmissionOutcome::Result::Failed
                                                : TransmissionOutcome::Result::Delivered;
        },
        [this, outcome] { emit transmitted(*outcome); }, Work::Transmission);
}

bool PortController::runOnPort(std::function<void()> work, std::function<void()> done, Work kind)
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
    // The end is told on the caller's thread, by a call that is dropped if the controller is gone.
    QMetaObject::invokeMethod(
        m_context,
        [this, work = std::move(work), done = std::move(done)] {
            work();
            QMetaObject::invokeMethod(
                this,
                [this, done] {
                    m_busy = false;
                    done();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return true;
}

} // namespace qbx
