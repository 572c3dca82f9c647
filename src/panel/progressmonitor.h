#pragma once

#include "port/portcontroller.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

#include <QProgressDialog>

namespace qbx {

// Keeps a window modal and informed while the controller runs a transmission or a check on the
// port's thread: input to the window is held back and a close waits until the end; a wait cursor
// shows at once and, once the transmission has taken longer than the delay, a progress dialog
// saying what it waits for, whose Cancel cancels it. It starts with the controller's work; the
// owner says when the window is free again.
class ProgressMonitor final : public QObject
{
public:
    ProgressMonitor(QWidget& owner, PortController& controller);
    ~ProgressMonitor() override;

    // `activity` says what the dialog shows instead of the transmission's stage ("Testing...").
    void started(const QString& activity = {});
    // The transmission has ended: the dialog and the wait cursor go, so that the message about
    // it can come up, while the window stays held until finished().
    void transmissionEnded();
    void finished();
    bool running() const { return m_running; }

    void setDelay(int ms) { m_delayMs = ms; }
    // What the next transmission sends, named in its dialog ("demo.dmo"); none: the settings.
    void setSubject(const QString& subject) { m_nextSubject = subject; }

    QProgressDialog* dialog() const { return m_dialog; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void update();
    void showDialog();
    QString waitingFor(const TransmissionStatus& status) const;
    QString progressText(const TransmissionStatus& status);

    QWidget& m_owner;
    PortController& m_controller;
    int m_delayMs = 1000;
    QString m_activity;
    QString m_subject;
    QString m_nextSubject;
    qint64 m_lastDone = -1;
    QElapsedTimer m_sinceData; // since the printer last took data
    QElapsedTimer m_clock;
    QTimer m_poll; // runs until the transmission has ended
    QPointer<QProgressDialog> m_dialog;
    QPointer<QWidget> m_window; // whose close waits for the end
    bool m_running = false;     // from started() to finished()
    bool m_cancelled = false;
    bool m_closeWhenDone = false;
};

} // namespace qbx
