#include "panel/progressmonitor.h"

#include "panel/dialogs.h"

#include <QApplication>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QWindow>

namespace qbx {
namespace {

// QProgressDialog counts in int; a data file may be larger.
constexpr qint64 kScale = 1000;
constexpr int kPollMs = 100;

bool isUserInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

ProgressMonitor::ProgressMonitor(QWidget& owner, PortController& controller)
    : m_owner(owner)
    , m_controller(controller)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &ProgressMonitor::update);
    connect(&controller, &PortController::started, this, [this](PortController::Work work) {
        started(work == PortController::Work::Check
                    ? tr("Testing %1...").arg(m_controller.session().config().displayName())
                    : QString());
    });
}

ProgressMonitor::~ProgressMonitor()
{
    finished();
}

void ProgressMonitor::started(const QString& activity)
{
    finished();
    m_activity = activity;
    m_subject = std::exchange(m_nextSubject, QString());
    m_lastDone = -1;
    m_running = true;
    m_cancelled = false;
    m_closeWhenDone = false;
    m_window = m_owner.window();
    m_clock.start();
    m_poll.start();
    qApp->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void ProgressMonitor::transmissionEnded()
{
    if (!m_poll.isActive())
        return;
    m_poll.stop();
    delete m_dialog;
    QApplication::restoreOverrideCursor();
}

void ProgressMonitor::finished()
{
    if (!m_running)
        return;
    transmissionEnded();
    m_running = false;
    qApp->removeEventFilter(this);
    if (m_closeWhenDone && m_window)
        QMetaObject::invokeMethod(m_window, &QWidget::close, Qt::QueuedConnection);
}

// While the transmission runs, only the progress dialog takes input, and the window stays open.
bool ProgressMonitor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && watched == m_window) {
        // Kept, and said at once: the window closes when the port is done.
        m_closeWhenDone = true;
        event->ignore();
        update();
        if (!m_dialog)
            showDialog();
        return true;
    }
    if (!isUserInput(*event))
        return false;
    // Input reaches the window's native window first, then its widgets; the progress dialog is a
    // window of its own.
    if (!m_window)
        return false;
    if (auto* widget = qobject_cast<QWidget*>(watched))
        return widget->window() == m_window;
    return watched == m_window->windowHandle();
}

void ProgressMonitor::update()
{
    if (!m_dialog && m_clock.elapsed() >= m_delayMs)
        showDialog();
    if (!m_dialog || m_cancelled)
        return;
    const TransmissionStatus status = m_controller.status();
    QStringList lines{waitingFor(status), progressText(status)};
    if (m_closeWhenDone)
        lines << tr("The window closes once this has ended.");
    lines.removeAll(QString());
    m_dialog->setLabelText(lines.join(QLatin1Char('\n')));
    if (m_activity.isEmpty() && status.stage == TransmissionStage::Sending && status.total > 0) {
        m_dialog->setMaximum(int(kScale));
        m_dialog->setValue(int(std::min(status.done, status.total) * kScale / status.total));
    } else {
        m_dialog->setMaximum(0); // a moving bar: how long the printer takes is not known
    }
}

QString ProgressMonitor::waitingFor(const TransmissionStatus& status) const
{
    if (!m_activity.isEmpty())
        return m_activity;
    const QString port = m_controller.session().config().displayName();
    switch (status.stage) {
    case TransmissionStage::Connecting:
        return tr("Opening %1...").arg(port);
    case TransmissionStage::Sending:
    case TransmissionStage::ReadingData:
        return m_subject.isEmpty() ? tr("Sending to %1...").arg(port)
                                   : tr("Sending %1 to %2...").arg(m_subject, port);
    case TransmissionStage::Finishing:
        return tr("Waiting for %1 to take the last bytes...").arg(port);
    case TransmissionStage::FollowingJob:
        return tr("Waiting for %1 to print the job...").arg(port);
    }
    return {};
}

// How much has gone and how fast, and, once the printer has taken nothing for a while, that too.
QString ProgressMonitor::progressText(const TransmissionStatus& status)
{
    if (status.done != m_lastDone) {
        m_lastDone = status.done;
        m_sinceData.start();
    }
    if (!m_activity.isEmpty() || status.stage == TransmissionStage::Connecting)
        return {};
    const QLocale locale;
    const auto size = [&locale](qint64 bytes) {
        return locale.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
    };
    QString text = status.total > 0 ? tr("%1 of %2").arg(size(status.done), size(status.total))
                                    : tr("%1 sent").arg(size(status.done));
    if (const qint64 ms = m_clock.elapsed(); ms > 0)
        text += tr(", %1/s").arg(size(status.done * 1000 / ms));
    if (const qint64 idle = m_sinceData.elapsed() / 1000; idle >= 1)
        text += QLatin1Char('\n') + tr("The printer has taken no data for %1 s.").arg(idle);
    return text;
}

void ProgressMonitor::showDialog()
{
    m_dialog = new QProgressDialog(waitingFor(m_controller.status()), tr("Cancel"), 0, 0, m_owner.window());
    m_dialog->setObjectName(QStringLiteral("portProgress"));
    m_dialog->setWindowTitle(tr("Printer port"));
    // Not modal: the event filter already holds the window back, and a modal dialog would make the
    // window system's close of the window vanish instead of reaching the filter.
    m_dialog->setWindowModality(Qt::NonModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    // The dialog's own cursor is the ordinary one, so Cancel looks clickable.
    m_dialog->setCursor(Qt::ArrowCursor);
    connect(m_dialog, &QProgressDialog::canceled, this, [this] {
        m_cancelled = true;
        m_controller.cancel();
        // The dialog stays until the port has ended the transmission.
        m_dialog->show();
        m_dialog->setLabelText(tr("Cancelling..."));
        m_dialog->setMaximum(0);
        if (auto* button = m_dialog->findChild<QPushButton*>())
            button->setEnabled(false);
    });
    m_dialog->show();
    qbx::Dialogs::shown(*m_dialog);
}

} // namespace qbx
