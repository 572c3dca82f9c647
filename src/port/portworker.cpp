#include "portworker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace TeskKit {

PortWorker::PortWorker() = default;

PortWorker::~PortWorker()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    delete m_context;
    delete m_thread;
}

void PortWorker::run(const std::function<void()>& operation)
{
    if (!m_thread) {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("printer port"));
        m_context = new QObject;
        m_context->moveToThread(m_thread);
        m_thread->start();
    }
    // The end is told by a call queued to this thread, and only that call sets the flag: the flag
    // and the object it is queued to both outlive it.
    bool ended = false;
    QMetaObject::invokeMethod(
        m_context,
        [this, &operation, &ended] {
            operation();
            QMetaObject::invokeMethod(
                &m_callerContext, [&ended] { ended = true; }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    // Events are handled here rather than in an event loop of its own: once the application has
    // been told to quit, every event loop ends at once, and this wait must still end only once the
    // operation has.
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

} // namespace TeskKit
