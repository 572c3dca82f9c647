#include "teskcomm.h"

#include "findingsdialog.h"
#include "portpages.h"
#include "progressmonitor.h"
#include "queuetransport.h"
#include "serialtransport.h"
#include "windowfonts.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <mutex>

namespace TeskKit {
namespace {

using Kind = PortConfig::Kind;

} // namespace

// Sends each message to the replacement reporter if one is set, else to a message box over the
// panel's window. A message from the port's thread waits until the operation has returned to the
// window's thread, so that it never comes up from another thread or over the progress dialog.
class TeskComm::ForwardingReporter final : public Reporter
{
public:
    explicit ForwardingReporter(TeskComm& owner)
        : m_owner(owner)
    {}

    void report(const QString& message) override
    {
        if (QThread::currentThread() != m_owner.thread()) {
            const std::lock_guard lock(m_mutex);
            m_held.append(message);
            return;
        }
        show(message);
    }

    void showHeld()
    {
        QStringList held;
        {
            const std::lock_guard lock(m_mutex);
            held.swap(m_held);
        }
        for (const QString& message : std::as_const(held))
            show(message);
    }

    Reporter* m_replacement = nullptr;

private:
    void show(const QString& message)
    {
        if (m_replacement) {
            m_replacement->report(message);
            return;
        }
        // The user's own cancel is news, not a problem.
        if (m_owner.m_session.lastOutcome().result == TransmissionOutcome::Result::Cancelled)
            QMessageBox::information(m_owner.window(), QObject::tr("Printer port"), message);
        else
            QMessageBox::warning(m_owner.window(), QObject::tr("Printer port"), message);
    }

    TeskComm& m_owner;
    std::mutex m_mutex;
    QStringList m_held;
};

TeskComm::TeskComm(QWidget* parent)
    : QWidget(parent)
    , m_reporter(std::make_unique<ForwardingReporter>(*this))
    , m_session(*m_reporter)
    , m_progress(std::make_unique<ProgressMonitor>(*this, m_session))
{
    setAccessibleName(tr("Printer port"));
    // The window gives the panel a fixed place measured in its own font; the desktop's font may
    // be wider, so the panel keeps the window's font wherever it is shown.
    setFont(qbx::ui::windowFont(qbx::ui::FontRole::Default));

    m_kind = new QComboBox(this);
    nameField(m_kind, "portKind", tr("Kind of printer port"));
    m_test = new QToolButton(this);
    m_test->setText(tr("Test"));
    nameField(m_test, "portTest", tr("Test the printer port without printing"));
    m_pages = new QStackedWidget(this);

    auto* kindRow = new QHBoxLayout;
    kindRow->setSpacing(4);
    kindRow->addWidget(labelFor(m_kind, tr("&Port")));
    kindRow->addWidget(m_kind, 1);
    kindRow->addWidget(m_test);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addLayout(kindRow);
    layout->addWidget(m_pages);
    layout->addStretch(1);

    connect(m_kind, &QComboBox::currentIndexChanged, this, &TeskComm::takeKind);
    connect(m_test, &QToolButton::clicked, this, &TeskComm::testPort);

    applyPanel();
}

TeskComm::~TeskComm() = default;

PortPage* TeskComm::page(Kind kind)
{
    PortPage*& slot = m_pageOfKind[std::size_t(kind)];
    if (!slot) {
        slot = buildPage(kind);
        m_pages->addWidget(slot);
        joinTabOrder(*slot);
        const bool wasApplying = std::exchange(m_applying, true);
        slot->apply(m_session.config());
        m_applying = wasApplying;
    }
    return slot;
}

// A page built late joins the window's tab order at the end; its place is after the kind list and
// "Test" beside it, in reading order.
void TeskComm::joinTabOrder(QWidget& page)
{
    QWidget* previous = m_test;
    QWidgetList fields;
    for (QWidget* w = page.nextInFocusChain(); page.isAncestorOf(w); w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && !w->focusProxy())
            fields.append(w);
    for (QWidget* field : fields)
        QWidget::setTabOrder(std::exchange(previous, field), field);
}

PortPage* TeskComm::buildPage(Kind kind)
{
    auto edited = [this, kind] { takeFromPage(*m_pageOfKind[std::size_t(kind)]); };
    switch (kind) {
    case Kind::File:
        return new FilePage(edited, [this](const QString& current) { return chooseFile(current); });
    case Kind::Tcp:
        return new TcpPage(edited);
    case Kind::Queue: {
        auto* queue = new QueuePage(edited, printQueueNames);
        m_queueList = &queue->queues();
        return queue;
    }
    case Kind::Serial: {
        auto* serial = new SerialPage(edited, [](QString*) { return serialDeviceNames(); });
        m_serialList = &serial->devices();
        return serial;
    }
    }
    return nullptr;
}

void TeskComm::showKind(Kind kind)
{
    if (isVisible()) // else showEvent() builds the page
        m_pages->setCurrentWidget(page(kind));
}

void TeskComm::showEvent(QShowEvent* event)
{
    m_pages->setCurrentWidget(page(m_session.config().kind));
    QWidget::showEvent(event);
}

void TeskComm::rebuildKindList()
{
    const Kind current = m_session.config().kind;
    const bool wasApplying = std::exchange(m_applying, true);
    m_kind->clear();
    // A saved kind that the panel no longer offers stays selectable, so the choice is not lost
    // behind the user's back.
    if (m_showSpooler || current == Kind::Queue)
        m_kind->addItem(tr("Printer queue"), int(Kind::Queue));
    if (m_showTcpIp || current == Kind::Tcp)
        m_kind->addItem(tr("Network printer (TCP/IP)"), int(Kind::Tcp));
    if (m_showFile || current == Kind::File)
        m_kind->addItem(tr("File or device"), int(Kind::File));
    m_kind->addItem(tr("Serial line"), int(Kind::Serial));
    m_kind->setCurrentIndex(m_kind->findData(int(current)));
    showKind(current);
    m_applying = wasApplying;
}

void TeskComm::refreshDeviceLists()
{
    for (DeviceList* list : {m_queueList, m_serialList})
        if (list)
            list->read();
}

// Shows the configuration on the kind list and on the pages built so far; the others take it
// when they are built.
void TeskComm::applyPanel()
{
    const bool wasApplying = std::exchange(m_applying, true);
    rebuildKindList();
    for (PortPage* built : m_pageOfKind)
        if (built)
            built->apply(m_session.config());
    m_applying = wasApplying;
}

void TeskComm::takeKind()
{
    if (m_applying) // the list is being filled; rebuildKindList() shows the page
        return;
    if (keepPortInForce())
        return;
    const auto kind = static_cast<Kind>(m_kind->currentData().toInt());
    showKind(kind);
    PortConfig config = m_session.config();
    config.kind = kind;
    m_session.setConfig(config);
}

// A page changes its own kind's parameters only.
void TeskComm::takeFromPage(const PortPage& page)
{
    if (m_applying || keepPortInForce())
        return;
    PortConfig config = m_session.config();
    page.take(config);
    m_session.setConfig(config);
}

// The port of a running transmission stays as it is (its thread reads it): an edit that reaches
// the panel meanwhile, from a screen reader or an input method, is undone.
bool TeskComm::keepPortInForce()
{
    if (!m_progress->running())
        return false;
    applyPanel();
    return true;
}

QString TeskComm::chooseFile(const QString& current)
{
    return m_fileChooser ? m_fileChooser(this, current)
                         : QFileDialog::getSaveFileName(this, tr("Output file"), current);
}

// Each operation runs on the port's thread while this one keeps the window painted and the
// progress dialog answering; the transmission keeps the window modal from OpenPort to ClosePort.
void TeskComm::runOnPortThread(const std::function<void()>& operation)
{
    m_worker.run(operation);
    // A failure ends the transmission: the dialog goes before its message comes up, while the
    // window stays held until the caller's ClosePort.
    if (m_session.PortFailed())
        m_progress->transmissionEnded();
    m_reporter->showHeld();
}

void TeskComm::OpenPort()
{
    // Input is held back during a transmission, but a screen reader's press can still reach a
    // button: a second transmission must not start inside the first.
    // The refused transmission's calls all come before the running one's next: they are dropped
    // up to its ClosePort.
    if (m_progress->running()) {
        m_refusing = true;
        m_reporter->report(stillRunningMessage());
        return;
    }
    m_progress->started();
    runOnPortThread([this] { m_session.OpenPort(); });
}

QString TeskComm::stillRunningMessage() const
{
    return tr("A transmission to %1 is still running: wait until it has ended.")
        .arg(m_session.config().displayName());
}

void TeskComm::testPort()
{
    // Input is held back during a transmission, but a screen reader's press can still reach the
    // button; the port's thread belongs to the transmission until it has ended.
    if (m_progress->running()) {
        m_reporter->report(stillRunningMessage());
        return;
    }
    const PortConfig config = m_session.config();
    const PortTimeouts timeouts = m_session.timeouts();
    Findings findings;
    // Held as for a transmission: no edit of the port and no transmission meanwhile, and a close
    // waits for the end of the check, which its time-outs bound.
    m_progress->started(tr("Testing %1...").arg(config.displayName()));
    m_worker.run([&findings, &config, &timeouts] { findings = checkPort(config, timeouts); });
    m_progress->finished();
    showFindings(config.displayName(), findings);
}

void TeskComm::showFindings(const QString& port, const Findings& findings)
{
    FindingsDialog dialog(port, findings, window());
    if (m_findingsShown)
        QTimer::singleShot(0, &dialog, [this, &dialog] { m_findingsShown(dialog); });
    dialog.exec();
}

void TeskComm::WritePort(std::string_view bytes)
{
    if (m_refusing)
        return;
    runOnPortThread([this, bytes] { m_session.WritePort(bytes); });
}

void TeskComm::ClosePort()
{
    if (std::exchange(m_refusing, false))
        return;
    runOnPortThread([this] { m_session.ClosePort(); });
    m_progress->finished();
}

bool TeskComm::PortFailed() const
{
    return m_refusing || m_session.PortFailed();
}

void TeskComm::AbortPort(const std::string& reason)
{
    if (std::exchange(m_refusing, false))
        return;
    runOnPortThread([this, &reason] { m_session.AbortPort(reason); });
    m_progress->finished();
}

std::optional<std::int64_t> TeskComm::CopyFromFile(int fd, std::int64_t length)
{
    if (m_refusing)
        return -1;
    std::optional<std::int64_t> copied;
    runOnPortThread([this, fd, length, &copied] { copied = m_session.CopyFromFile(fd, length); });
    return copied;
}

void TeskComm::ExpectBytes(std::int64_t total)
{
    if (m_refusing)
        return;
    m_session.ExpectBytes(total);
}

void TeskComm::LoadPortSettings(const std::string& key)
{
    m_session.LoadPortSettings(key);
    applyPanel();
}

void TeskComm::SavePortSettings(const std::string& key)
{
    m_session.SavePortSettings(key);
}

void TeskComm::setShowSpooler(bool show)
{
    m_showSpooler = show;
    rebuildKindList();
}

void TeskComm::setShowTcpIp(bool show)
{
    m_showTcpIp = show;
    rebuildKindList();
}

void TeskComm::setShowFile(bool show)
{
    m_showFile = show;
    rebuildKindList();
}

PortConfig TeskComm::config() const
{
    return m_session.config();
}

void TeskComm::setConfig(const PortConfig& config)
{
    m_session.setConfig(config);
    applyPanel();
}

void TeskComm::setReporter(Reporter* reporter)
{
    m_reporter->m_replacement = reporter;
}

void TeskComm::setFileChooser(FileChooser chooser)
{
    m_fileChooser = std::move(chooser);
}

} // namespace TeskKit
