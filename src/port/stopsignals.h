#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace qbx {

// SIGINT, SIGTERM and SIGHUP as an event of the event loop, while this lives: the program then
// ends as its user would end it (the window closes and keeps the port choice, the simulator
// reports the transmission under way) instead of being killed on the spot. A signal that comes
// before the event loop runs waits for it.
class StopSignals final : public QObject
{
    Q_OBJECT

public:
    StopSignals();
    ~StopSignals() override;

Q_SIGNALS:
    void requested();

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace qbx
