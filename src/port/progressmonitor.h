#pragma once

#include "transmissionmonitor.h"

#include <QElapsedTimer>
#include <QPointer>

#include <functional>

#include <QProgressDialog>

namespace TeskKit {

// Shows a wait cursor during a transmission and, once it has taken longer than the delay, a
// progress dialog whose Cancel ends it.
class ProgressMonitor final : public TransmissionMonitor
{
public:
    explicit ProgressMonitor(QWidget* parent);
    ~ProgressMonitor() override;

    void started() override;
    bool advance(qint64 done, qint64 total) override;
    void finished() override;

    void setDelay(int ms) { m_delayMs = ms; }
    // Called with the dialog just after it has been shown (tests answer it from here).
    void setDialogShownHook(std::function<void(QProgressDialog&)> hook) { m_shownHook = std::move(hook); }

    QProgressDialog* dialog() const { return m_dialog; }

private:
    void showDialog();

    QWidget* m_parent;
    int m_delayMs = 1000;
    std::function<void(QProgressDialog&)> m_shownHook;
    QElapsedTimer m_clock;
    QPointer<QProgressDialog> m_dialog;
    bool m_running = false;
    bool m_cancelled = false;
};

} // namespace TeskKit
