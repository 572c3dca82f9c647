#include "portsession.h"

#include "filetransport.h"
#include "portmessages.h"
#include "queuetransport.h"
#include "reporter.h"
#include "serialtransport.h"
#include "tcptransport.h"
#include "transmissionmonitor.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace TeskKit {
namespace {

// Writes go to the transport in pieces of this size, so that a monitor sees progress and can
// cancel a long transmission between them.
constexpr qsizetype kPieceSize = 1024;

} // namespace

PortSession::PortSession(Reporter& reporter, TransportFactory factory)
    : m_reporter(reporter)
    , m_factory(std::move(factory))
{}

PortSession::~PortSession()
{
    if (m_transport)
        m_transport->abort();
}

std::unique_ptr<Transport> PortSession::makeTransport(const PortConfig& config)
{
    return makeTransportWithTimeouts(config, PortTimeouts{});
}

std::unique_ptr<Transport> PortSession::makeTransportWithTimeouts(const PortConfig& config,
                                                                  const PortTimeouts& timeouts)
{
    switch (config.kind) {
    case PortConfig::Kind::File:
        return std::make_unique<FileTransport>(config.filePath, timeouts);
    case PortConfig::Kind::Tcp:
        return std::make_unique<TcpTransport>(config.host, config.tcpPort, timeouts);
    case PortConfig::Kind::Queue:
        return std::make_unique<QueueTransport>(config.queueName, timeouts);
    case PortConfig::Kind::Serial:
        return std::make_unique<SerialTransport>(config, timeouts);
    }
    return nullptr;
}

void PortSession::OpenPort()
{
    if (m_transport && !m_failed) { // a transmission left open by a caller: it cannot be completed any more
        m_transport->abort();
        endTransmission();
    }
    m_failed = false;
    m_succeeded = false;
    m_written = 0;
    m_transport = m_factory ? m_factory(m_config) : makeTransportWithTimeouts(m_config, m_timeouts);
    if (m_monitor)
        m_monitor->started();
    if (!m_transport->open())
        failTransmission(m_transport->errorString());
}

void PortSession::WritePort(std::string_view bytes)
{
    if (!m_transport || m_failed)
        return;
    const auto total = static_cast<qsizetype>(bytes.size());
    for (qsizetype done = 0; done < total;) {
        const qsizetype piece = std::min(kPieceSize, total - done);
        if (!m_transport->write(QByteArrayView(bytes.data() + done, piece))) {
            failTransmission(m_transport->errorString());
            return;
        }
        done += piece;
        m_written += piece;
        if (m_monitor && !m_monitor->advance(done, total)) {
            failTransmission(
                QStringLiteral("The transmission to %1 was cancelled.").arg(m_config.displayName()));
            return;
        }
    }
}

void PortSession::ClosePort()
{
    if (!m_transport)
        return;
    if (m_failed) { // aborted, reported and ended when it failed
        m_transport.reset();
        return;
    }
    if (m_transport->finish()) {
        m_succeeded = true;
        endTransmission();
    } else {
        failTransmission(m_transport->errorString());
    }
    m_transport.reset();
}

void PortSession::endTransmission()
{
    if (m_monitor)
        m_monitor->finished();
}

void PortSession::failTransmission(const QString& reason)
{
    m_failed = true;
    QString message = reason;
    if (m_written > 0)
        message += QStringLiteral("\n\n") + partialTransmissionAdvice();
    m_transport->abort();
    // Nothing else is going out, so the monitor's dialog goes before the message comes up.
    endTransmission();
    m_reporter.report(message);
}

QString PortSession::settingsFile(const std::string& key)
{
    // The key names a file: keep it inside the configuration folder whatever it contains.
    QString name = QString::fromStdString(key);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1Char('_'));
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1Char('/') + name +
           QStringLiteral(".conf");
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
    if (settings.status() != QSettings::NoError)
        m_reporter.report(
            QStringLiteral("The port choice could not be saved to %1.").arg(settings.fileName()));
}

} // namespace TeskKit
