#include "portsession.h"

#include "filetransport.h"
#include "reporter.h"

#include <QSettings>
#include <QStandardPaths>

namespace TeskKit {

PortSession::PortSession(Reporter& reporter, TransportFactory factory)
    : m_reporter(reporter)
    , m_factory(std::move(factory))
{
}

PortSession::~PortSession()
{
    if (m_transport)
        m_transport->abort();
}

std::unique_ptr<Transport> PortSession::makeTransport(const PortConfig& config)
{
    switch (config.kind) {
    case PortConfig::Kind::File:
        return std::make_unique<FileTransport>(config.filePath);
    }
    return nullptr;
}

void PortSession::OpenPort()
{
    if (m_transport) // a transmission left open by a caller: it cannot be completed any more
        m_transport->abort();
    m_failed = false;
    m_succeeded = false;
    m_written = 0;
    m_transport = m_factory(m_config);
    if (!m_transport->open())
        failTransmission();
}

void PortSession::WritePort(std::string_view bytes)
{
    if (!m_transport || m_failed)
        return;
    if (!m_transport->write(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))))
        failTransmission();
    else
        m_written += static_cast<qint64>(bytes.size());
}

void PortSession::ClosePort()
{
    if (!m_transport)
        return;
    if (m_failed)
        m_transport->abort();
    else if (m_transport->finish())
        m_succeeded = true;
    else
        failTransmission();
    m_transport.reset();
}

void PortSession::failTransmission()
{
    m_failed = true;
    QString message = m_transport->errorString();
    if (m_written > 0)
        message += QStringLiteral("\n\nThe printer may have received part of the data. Repeat the action once the "
                                  "problem is solved.");
    m_transport->abort();
    m_reporter.report(message);
}

QString PortSession::settingsFile(const std::string& key)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') +
           QString::fromStdString(key) + QStringLiteral(".conf");
}

void PortSession::LoadPortSettings(const std::string& key)
{
    QSettings settings(settingsFile(key), QSettings::IniFormat);
    m_config = PortConfig::load(settings);
}

void PortSession::SavePortSettings(const std::string& key)
{
    QSettings settings(settingsFile(key), QSettings::IniFormat);
    m_config.save(settings);
    settings.sync();
}

} // namespace TeskKit
