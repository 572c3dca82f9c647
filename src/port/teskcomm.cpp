#include "teskcomm.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace TeskKit {

// Sends each message to the replacement reporter if one is set, else to a message box over the
// panel's window.
class TeskComm::ForwardingReporter final : public Reporter
{
public:
    explicit ForwardingReporter(QWidget& owner)
        : m_owner(owner)
    {
    }

    void report(const QString& message) override
    {
        if (m_replacement) {
            m_replacement->report(message);
            return;
        }
        QMessageBox::warning(m_owner.window(), QObject::tr("Printer port"), message);
    }

    Reporter* m_replacement = nullptr;

private:
    QWidget& m_owner;
};

TeskComm::TeskComm(QWidget* parent)
    : QWidget(parent)
    , m_reporter(std::make_unique<ForwardingReporter>(*this))
    , m_session(*m_reporter)
{
    auto* group = new QGroupBox(tr("Printer port"), this);
    auto* grid = new QGridLayout(group);
    auto* label = new QLabel(tr("Output &file:"), group);
    m_filePath = new QLineEdit(group);
    m_filePath->setObjectName(QStringLiteral("portFilePath"));
    label->setBuddy(m_filePath);
    auto* browse = new QPushButton(tr("&Browse..."), group);
    browse->setObjectName(QStringLiteral("portFileBrowse"));
    grid->addWidget(label, 0, 0, 1, 2);
    grid->addWidget(m_filePath, 1, 0);
    grid->addWidget(browse, 1, 1);
    grid->setRowStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);

    connect(m_filePath, &QLineEdit::editingFinished, this, [this] {
        PortConfig config = m_session.config();
        config.filePath = m_filePath->text();
        m_session.setConfig(config);
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Output file"), m_filePath->text());
        if (!path.isEmpty()) {
            m_filePath->setText(path);
            Q_EMIT m_filePath->editingFinished();
        }
    });
    applyPanel();
}

TeskComm::~TeskComm() = default;

void TeskComm::OpenPort()
{
    m_session.OpenPort();
}

void TeskComm::WritePort(std::string_view bytes)
{
    m_session.WritePort(bytes);
}

void TeskComm::ClosePort()
{
    m_session.ClosePort();
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

void TeskComm::applyPanel()
{
    m_filePath->setText(m_session.config().filePath);
}

} // namespace TeskKit
