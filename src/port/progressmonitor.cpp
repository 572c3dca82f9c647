#include "progressmonitor.h"

#include <QApplication>
#include <QProgressDialog>

namespace TeskKit {
namespace {

// QProgressDialog counts in int; a data file may be larger.
constexpr qint64 kScale = 1000;

} // namespace

ProgressMonitor::ProgressMonitor(QWidget* parent)
    : m_parent(parent)
{}

ProgressMonitor::~ProgressMonitor()
{
    finished();
}

void ProgressMonitor::started()
{
    finished();
    m_running = true;
    m_cancelled = false;
    m_clock.start();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void ProgressMonitor::showDialog()
{
    m_dialog = new QProgressDialog(QObject::tr("Sending to the printer..."), QObject::tr("Cancel"), 0,
                                   int(kScale), m_parent ? m_parent->window() : nullptr);
    m_dialog->setObjectName(QStringLiteral("portProgress"));
    m_dialog->setWindowTitle(QObject::tr("Printer port"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    // The dialog's own cursor is the ordinary one, so Cancel looks clickable.
    m_dialog->setCursor(Qt::ArrowCursor);
    QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog, [this] { m_cancelled = true; });
    m_dialog->show();
    if (m_shownHook)
        m_shownHook(*m_dialog);
}

bool ProgressMonitor::advance(qint64 done, qint64 total)
{
    if (!m_running)
        return true;
    if (!m_dialog && m_clock.elapsed() >= m_delayMs)
        showDialog();
    if (m_dialog) {
        m_dialog->setValue(total > 0 ? int(done * kScale / total) : 0);
        // The transmission runs inside a click handler: only here do Cancel and repaints get through.
        QCoreApplication::processEvents();
    }
    return !m_cancelled;
}

void ProgressMonitor::finished()
{
    if (!m_running)
        return;
    m_running = false;
    delete m_dialog;
    QApplication::restoreOverrideCursor();
}

} // namespace TeskKit
