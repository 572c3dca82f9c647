#include "panel/teskcomm.h"

#include "panel/dialogs.h"
#include "panel/findingsdialog.h"
#include "panel/portpages.h"
#include "panel/progressmonitor.h"
#include "port/portkinds.h"
#include "port/portmessages.h"
#include "ui/windowfonts.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QStackedWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

using namespace qbx;

namespace TeskKit {
namespace {

using Kind = PortConfig::Kind;

} // namespace

TeskComm::TeskComm(QWidget* parent)
    : QWidget(parent)
    , m_progress(std::make_unique<ProgressMonitor>(*this, m_controller))
{
    setAccessibleName(tr("Printer port"));
    // Where the panel is, its user chooses a port in it, not on a command line.
    setAudience(Audience::Window);
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
    connect(&m_controller, &PortController::transmitted, this, &TeskComm::transmitted);

    applyPanel();
}

TeskComm::~TeskComm() = default;

PortPage* TeskComm::page(Kind kind)
{
    PortPage*& slot = m_pageOfKind[std::size_t(kind)];
    if (!slot) {
        slot = makePage(
            kind, [this, kind] { takeFromPage(*m_pageOfKind[std::size_t(kind)]); },
            [this](const QString& current) { return chooseFile(current); });
        m_pages->addWidget(slot);
        joinTabOrder(*slot);
        const bool wasApplying = std::exchange(m_applying, true);
        slot->apply(session().config());
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

void TeskComm::showKind(Kind kind)
{
    if (isVisible()) // else showEvent() builds the page
        m_pages->setCurrentWidget(page(kind));
}

void TeskComm::showEvent(QShowEvent* event)
{
    m_pages->setCurrentWidget(page(session().config().kind));
    QWidget::showEvent(event);
}

void TeskComm::rebuildKindList()
{
    const Kind current = session().config().kind;
    const bool wasApplying = std::exchange(m_applying, true);
    m_kind->clear();
    // A saved kind that the panel no longer offers stays selectable, so the choice is not lost
    // behind the user's back.
    for (const PortKind* listed : listedKinds())
        if (offered(listed->kind) || listed->kind == current)
            m_kind->addItem(PortPage::tr(listed->label), int(listed->kind));
    m_kind->setCurrentIndex(m_kind->findData(int(current)));
    showKind(current);
    m_applying = wasApplying;
}

QString TeskComm::accessKeys() const
{
    QStringList texts;
    for (const QLabel* label : findChildren<QLabel*>())
        texts << label->text();
    for (const QAbstractButton* button : findChildren<QAbstractButton*>())
        texts << button->text();
    QString keys;
    for (const QString& text : texts)
        keys += QKeySequence::mnemonic(text).toString().right(1).toLower();
    return keys;
}

bool TeskComm::offered(Kind kind) const
{
    switch (kind) {
    case Kind::Queue:
        return m_showSpooler;
    case Kind::Tcp:
        return m_showTcpIp;
    case Kind::File:
        return m_showFile;
    default:
        return true;
    }
}

// Shows the configuration on the kind list and on the pages built so far; the others take it
// when they are built.
void TeskComm::applyPanel()
{
    const bool wasApplying = std::exchange(m_applying, true);
    rebuildKindList();
    for (PortPage* built : m_pageOfKind)
        if (built)
            built->apply(session().config());
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
    PortConfig config = session().config();
    config.kind = kind;
    session().setConfig(config);
    keepChoice();
}

// A page changes its own kind's parameters only.
void TeskComm::takeFromPage(const PortPage& page)
{
    if (m_applying || keepPortInForce())
        return;
    PortConfig config = session().config();
    page.take(config);
    session().setConfig(config);
    keepChoice();
}

// The port of a running transmission stays as it is (its thread reads it): an edit that reaches
// the panel meanwhile, from a screen reader or an input method, is undone.
bool TeskComm::keepPortInForce()
{
    if (!m_controller.busy())
        return false;
    applyPanel();
    return true;
}

QString TeskComm::chooseFile(const QString& current)
{
    qbx::FileRequest request;
    request.purpose = qbx::FileRequest::Purpose::Save;
    request.title = tr("Output file");
    request.directory = current; // the dialog starts in its folder, with its name
    const std::optional<qbx::FileAnswer> answer = qbx::Dialogs::askFile(this, request);
    return answer ? answer->path : QString();
}

void TeskComm::tell(const QString& message, qbx::Dialogs::Tone tone, const std::function<void()>& read)
{
    qbx::Dialogs::tell(this, tone, tr("Printer port"), message, read);
}

// Input is held back during a transmission, but a screen reader's press can still reach a
// button: a second transmission must not start inside the first.
bool TeskComm::refuseWhileBusy()
{
    if (!m_controller.busy())
        return false;
    tell(tr("A transmission to %1 is still running: wait until it has ended.")
             .arg(session().config().displayName()));
    return true;
}

bool TeskComm::transmit(PortController::Transmission transmission, const QString& subject, bool keepsSettings)
{
    if (refuseWhileBusy())
        return false;
    m_progress->setSubject(subject);
    m_controller.transmit(std::move(transmission), keepsSettings);
    return true;
}

// The window stays held until its user has read what became of the transmission.
void TeskComm::transmitted(const TransmissionOutcome& outcome)
{
    m_progress->transmissionEnded();
    const QString message = outcome.message();
    if (outcome.delivered() || message.isEmpty()) {
        m_progress->finished();
        return;
    }
    // The user's own cancel is news, not a problem.
    const auto tone = outcome.result == TransmissionOutcome::Result::Cancelled
                          ? qbx::Dialogs::Tone::Information
                          : qbx::Dialogs::Tone::Warning;
    tell(message, tone, [this] { m_progress->finished(); });
}

void TeskComm::testPort()
{
    if (refuseWhileBusy())
        return;
    const PortConfig config = session().config();
    const PortTimeouts timeouts = session().timeouts();
    auto findings = std::make_shared<Findings>();
    m_controller.runOnPort([config, timeouts, findings] { *findings = checkPort(config, timeouts); },
                           [this, port = shownName(config), findings] { showFindings(port, *findings); });
}

// The port as its findings name it: by its kind while a field it needs is still empty.
QString TeskComm::shownName(const PortConfig& config)
{
    if (config.problem().isEmpty())
        return config.displayName();
    return tr("%1, not set up yet").arg(PortPage::tr(describedKind(config.kind)->label));
}

void TeskComm::showFindings(const QString& port, const Findings& findings)
{
    m_progress->finished();
    qbx::Dialogs::show(new FindingsDialog(port, findings, window()));
}

void TeskComm::OpenPort()
{
    m_collected.emplace();
}

void TeskComm::WritePort(std::string_view bytes)
{
    if (m_collected)
        m_collected->emplace_back(bytes);
}

void TeskComm::ClosePort()
{
    if (!m_collected)
        return;
    transmit([writes = *std::exchange(m_collected, std::nullopt)](qbx::StreamPort& port) {
        port.OpenPort();
        for (const std::string& bytes : writes)
            port.WritePort(bytes);
        port.ClosePort();
    });
}

void TeskComm::LoadPortSettings(const std::string& key)
{
    m_settingsKey = key;
    session().LoadPortSettings(key);
    applyPanel();
}

// A port the user has chosen is kept at once, so that the command line and the next start see it
// even if the window never closes normally; a saving problem is told when the window closes.
void TeskComm::keepChoice()
{
    if (!m_settingsKey.empty() && session().config().problem().isEmpty())
        session().SavePortSettings(m_settingsKey);
}

// A choice that could not be saved comes up over the panel's window.
void TeskComm::SavePortSettings(const std::string& key)
{
    session().SavePortSettings(key);
    if (const Problem& problem = session().savingProblem(); !problem.isEmpty())
        tell(problem.text());
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
    return m_controller.session().config();
}

void TeskComm::setConfig(const PortConfig& config)
{
    session().setConfig(config);
    applyPanel();
}

} // namespace TeskKit
