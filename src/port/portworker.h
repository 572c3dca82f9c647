#pragma once

#include <QObject>

#include <functional>

class QThread;

namespace TeskKit {

// The thread on which a panel's port operations run, so that a printer that stalls never stalls
// the window: the caller's thread keeps handling its events (painting, the progress dialog)
// until the operation has ended.
//
// One thread for the panel's whole life: a transport is created, used and destroyed on the same
// thread, as Qt's serial port requires. It is started by the first operation, not before.
class PortWorker final
{
public:
    PortWorker();
    ~PortWorker();
    PortWorker(const PortWorker&) = delete;
    PortWorker& operator=(const PortWorker&) = delete;

    // Runs the operation on the worker thread and returns once it has ended.
    void run(const std::function<void()>& operation);

private:
    QThread* m_thread = nullptr;
    QObject* m_context = nullptr; // lives on the worker thread; operations are queued to it
    QObject m_callerContext;      // lives on the caller's thread; the ends are queued to it
};

} // namespace TeskKit
