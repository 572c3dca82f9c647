#include "portworker.h"

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
    QEventLoop loop;
    bool ended = false;
    QMetaObject::invokeMethod(
        m_context,
        [&operation, &loop, &ended] {
            operation();
            QMetaObject::invokeMethod(
                &loop,
                [&loop, &ended] {
                    ended = true;
                    loop.quit();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    // A message box opened meanwhile runs a loop of its own; this one ends only once the operation
    // has.
    while (!ended)
        loop.exec();
}

} // namespace TeskKit
