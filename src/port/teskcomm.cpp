#include "teskcomm.h"

#include "progressmonitor.h"
#include "queuetransport.h"
#include "serialtransport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QStackedWidget>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include <mutex>

namespace TeskKit {
namespace {

using Kind = PortConfig::Kind;

QComboBox* makeCombo(QWidget* parent, const char* objectName, const QString& accessibleName)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(objectName));
    combo->setAccessibleName(accessibleName);
    combo->setToolTip(accessibleName);
    return combo;
}

// A list whose entries come from the system (queue names, device paths) may hold long texts:
// the field keeps its width and the open list shows them whole.
void keepNarrow(QComboBox* combo, int characters)
{
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(characters);
}

QLabel* makeLabel(const QString& text, QWidget* buddy, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

QGridLayout* pageGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    return grid;
}

// Selects the entry whose data is the value, adding it (as the user's own) when it is not listed.
void selectData(QComboBox* combo, const QVariant& value, const QString& text)
{
    int index = combo->findData(value);
    if (index < 0) {
        combo->addItem(text, value);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

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

    m_kind = makeCombo(this, "portKind", tr("Kind of printer port"));
    m_pages = new QStackedWidget(this);
    // Page order follows the kinds, so a kind's value is its page's index.
    m_pages->addWidget(buildFilePage());
    m_pages->addWidget(buildTcpPage());
    m_pages->addWidget(buildQueuePage());
    m_pages->addWidget(buildSerialPage());

    auto* kindRow = new QHBoxLayout;
    kindRow->setSpacing(4);
    kindRow->addWidget(makeLabel(tr("&Port:"), m_kind, this));
    kindRow->addWidget(m_kind, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(kindRow);
    layout->addWidget(m_pages);
    layout->addStretch(1);

    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] {
        m_pages->setCurrentIndex(m_kind->currentData().toInt());
        takeFromPanel();
    });

    rebuildKindList();
    refreshDeviceLists();
    applyPanel();
}

TeskComm::~TeskComm() = default;

QWidget* TeskComm::buildFilePage()
{
    auto* page = new QWidget;
    auto* grid = pageGrid(page);
    m_filePath = new QLineEdit(page);
    m_filePath->setObjectName(QStringLiteral("portFilePath"));
    m_filePath->setAccessibleName(tr("Output file"));
    auto* browse = new QToolButton(page);
    browse->setObjectName(QStringLiteral("portFileBrowse"));
    browse->setText(tr("..."));
    browse->setAccessibleName(tr("Browse for the output file"));
    browse->setToolTip(browse->accessibleName());
    grid->addWidget(makeLabel(tr("&File:"), m_filePath, page), 0, 0);
    grid->addWidget(m_filePath, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->setRowStretch(1, 1);
    connect(m_filePath, &QLineEdit::textChanged, this, &TeskComm::takeFromPanel);
    connect(browse, &QToolButton::clicked, this, &TeskComm::browseForFile);
    return page;
}

QWidget* TeskComm::buildTcpPage()
{
    auto* page = new QWidget;
    auto* grid = pageGrid(page);
    m_host = new QLineEdit(page);
    m_host->setObjectName(QStringLiteral("portHost"));
    m_host->setAccessibleName(tr("Printer host name or address"));
    m_host->setPlaceholderText(tr("host name or address"));
    m_host->setMaxLength(253);
    m_tcpPort = new QSpinBox(page);
    m_tcpPort->setObjectName(QStringLiteral("portTcpPort"));
    m_tcpPort->setAccessibleName(tr("Printer TCP port"));
    m_tcpPort->setRange(1, 65535);
    grid->addWidget(makeLabel(tr("&Host:"), m_host, page), 0, 0);
    grid->addWidget(m_host, 0, 1, 1, 3);
    grid->addWidget(makeLabel(tr("TCP p&ort:"), m_tcpPort, page), 1, 0);
    grid->addWidget(m_tcpPort, 1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(2, 1);
    connect(m_host, &QLineEdit::textChanged, this, &TeskComm::takeFromPanel);
    connect(m_tcpPort, &QSpinBox::valueChanged, this, &TeskComm::takeFromPanel);
    return page;
}

QWidget* TeskComm::buildQueuePage()
{
    auto* page = new QWidget;
    auto* grid = pageGrid(page);
    m_queue = makeCombo(page, "portQueue", tr("Print queue"));
    keepNarrow(m_queue, 10);
    m_queue->setPlaceholderText(tr("none found"));
    auto* refresh = new QToolButton(page);
    refresh->setObjectName(QStringLiteral("portQueueRefresh"));
    refresh->setText(tr("&Refresh"));
    refresh->setAccessibleName(tr("Read the list of print queues again"));
    refresh->setToolTip(refresh->accessibleName());
    grid->addWidget(makeLabel(tr("&Queue:"), m_queue, page), 0, 0);
    grid->addWidget(m_queue, 0, 1);
    grid->addWidget(refresh, 0, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    connect(m_queue, &QComboBox::currentIndexChanged, this, &TeskComm::takeFromPanel);
    connect(refresh, &QToolButton::clicked, this, &TeskComm::refreshDeviceLists);
    return page;
}

QWidget* TeskComm::buildSerialPage()
{
    auto* page = new QWidget;
    auto* grid = pageGrid(page);
    m_serialDevice = makeCombo(page, "portSerialDevice", tr("Serial device"));
    m_serialDevice->setEditable(true);
    keepNarrow(m_serialDevice, 8);
    m_baud = makeCombo(page, "portBaud", tr("Baud rate"));
    for (qint32 rate : standardBaudRates())
        m_baud->addItem(QString::number(rate), rate);
    m_dataBits = makeCombo(page, "portDataBits", tr("Data bits"));
    for (int bits = 8; bits >= 5; --bits)
        m_dataBits->addItem(QString::number(bits), bits);
    m_parity = makeCombo(page, "portParity", tr("Parity"));
    m_parity->addItem(tr("N", "no parity"), int(PortConfig::Parity::None));
    m_parity->addItem(tr("E", "even parity"), int(PortConfig::Parity::Even));
    m_parity->addItem(tr("O", "odd parity"), int(PortConfig::Parity::Odd));
    m_stopBits = makeCombo(page, "portStopBits", tr("Stop bits"));
    m_stopBits->addItem(QStringLiteral("1"), 1);
    m_stopBits->addItem(QStringLiteral("2"), 2);
    m_flow = makeCombo(page, "portFlow", tr("Flow control"));
    keepNarrow(m_flow, 3);
    m_flow->addItem(tr("No flow"), int(PortConfig::Flow::None));
    m_flow->addItem(tr("RTS/CTS"), int(PortConfig::Flow::Hardware));
    m_flow->addItem(tr("XON/XOFF"), int(PortConfig::Flow::Software));

    grid->addWidget(makeLabel(tr("&Device:"), m_serialDevice, page), 0, 0);
    grid->addWidget(m_serialDevice, 0, 1, 1, 3);
    grid->addWidget(m_baud, 0, 4);
    auto* framing = new QHBoxLayout;
    framing->setSpacing(2);
    framing->addWidget(m_dataBits);
    framing->addWidget(m_parity);
    framing->addWidget(m_stopBits);
    framing->addWidget(m_flow, 1);
    grid->addWidget(makeLabel(tr("Fra&me:"), m_dataBits, page), 1, 0);
    grid->addLayout(framing, 1, 1, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);

    connect(m_serialDevice, &QComboBox::currentTextChanged, this, &TeskComm::takeFromPanel);
    for (QComboBox* combo : {m_baud, m_dataBits, m_parity, m_stopBits, m_flow})
        connect(combo, &QComboBox::currentIndexChanged, this, &TeskComm::takeFromPanel);
    return page;
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
    m_pages->setCurrentIndex(int(current));
    m_applying = wasApplying;
}

void TeskComm::refreshDeviceLists()
{
    const bool wasApplying = std::exchange(m_applying, true);
    m_queue->clear();
    for (const QString& name : printQueueNames())
        m_queue->addItem(name, name);
    const QString device = m_serialDevice->currentText();
    m_serialDevice->clear();
    m_serialDevice->addItems(serialDeviceNames());
    m_serialDevice->setCurrentText(device);
    m_applying = wasApplying;
    applyPanel();
}

void TeskComm::applyPanel()
{
    const PortConfig& config = m_session.config();
    const bool wasApplying = std::exchange(m_applying, true);
    rebuildKindList();
    m_filePath->setText(config.filePath);
    m_host->setText(config.host);
    m_tcpPort->setValue(config.tcpPort);
    if (config.queueName.isEmpty())
        m_queue->setCurrentIndex(-1);
    else
        selectData(m_queue, config.queueName, config.queueName);
    m_serialDevice->setCurrentText(config.serialDevice);
    selectData(m_baud, config.baudRate, QString::number(config.baudRate));
    selectData(m_dataBits, config.dataBits, QString::number(config.dataBits));
    selectData(m_parity, int(config.parity), parityName(config.parity));
    selectData(m_stopBits, config.stopBits, QString::number(config.stopBits));
    selectData(m_flow, int(config.flow), flowName(config.flow));
    m_applying = wasApplying;
}

void TeskComm::takeFromPanel()
{
    if (m_applying)
        return;
    PortConfig config = m_session.config();
    config.kind = static_cast<Kind>(m_kind->currentData().toInt());
    config.filePath = m_filePath->text();
    config.host = m_host->text().trimmed();
    config.tcpPort = static_cast<quint16>(m_tcpPort->value());
    config.queueName = m_queue->currentData().toString();
    config.serialDevice = m_serialDevice->currentText().trimmed();
    config.baudRate = m_baud->currentData().toInt();
    config.dataBits = m_dataBits->currentData().toInt();
    config.parity = static_cast<PortConfig::Parity>(m_parity->currentData().toInt());
    config.stopBits = m_stopBits->currentData().toInt();
    config.flow = static_cast<PortConfig::Flow>(m_flow->currentData().toInt());
    m_session.setConfig(config);
}

void TeskComm::browseForFile()
{
    const QString path = m_fileChooser
                             ? m_fileChooser(this, m_filePath->text())
                             : QFileDialog::getSaveFileName(this, tr("Output file"), m_filePath->text());
    if (!path.isEmpty())
        m_filePath->setText(path);
}

// Each operation runs on the port's thread while this one keeps the window painted and the
// progress dialog answering; the transmission keeps the window modal from OpenPort to ClosePort.
void TeskComm::runOnPortThread(const std::function<void()>& operation)
{
    m_worker.run(operation);
    // A failure ends the transmission: the dialog goes before its message comes up.
    if (m_session.PortFailed())
        m_progress->finished();
    m_reporter->showHeld();
}

void TeskComm::OpenPort()
{
    m_progress->started();
    runOnPortThread([this] { m_session.OpenPort(); });
}

void TeskComm::WritePort(std::string_view bytes)
{
    runOnPortThread([this, bytes] { m_session.WritePort(bytes); });
}

void TeskComm::ClosePort()
{
    runOnPortThread([this] { m_session.ClosePort(); });
    m_progress->finished();
}

bool TeskComm::PortFailed() const
{
    return m_session.PortFailed();
}

void TeskComm::AbortPort(const std::string& reason)
{
    runOnPortThread([this, &reason] { m_session.AbortPort(reason); });
    m_progress->finished();
}

std::optional<std::int64_t> TeskComm::CopyFromFile(int fd, std::int64_t length)
{
    std::optional<std::int64_t> copied;
    runOnPortThread([this, fd, length, &copied] { copied = m_session.CopyFromFile(fd, length); });
    return copied;
}

void TeskComm::ExpectBytes(std::int64_t total)
{
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
