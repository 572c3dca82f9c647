#include "port/portsession.h"

#include "port/filetransport.h"
#include "port/portmessages.h"
#include "port/queuetransport.h"
#include "port/reporter.h"
#include "port/serialtransport.h"
#include "port/tcptransport.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace TeskKit {
namespace {

// A long write goes to the transport in pieces of this size, so that progress shows and a cancel
// is seen between them; large enough that a file goes out in few system calls.
constexpr qsizetype kPieceSize = qsizetype{1} << 20;

TransportFailure failureOf(TransmissionStage stage, const QString& message,
                           PartialDelivery partial = PartialDelivery::No)
{
    TransportFailure failure;
    failure.stage = stage;
    failure.message = message;
    failure.partial = partial;
    return failure;
}

TransportFailure cancelAt(TransmissionStage stage, PartialDelivery partial)
{
    TransportFailure failure;
    failure.stage = stage;
    failure.partial = partial;
    failure.cancelled = true;
    return failure;
}

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
    if (m_transport && !m_failed) // a transmission left open by a caller: it cannot be completed any more
        m_transport->abort();
    m_failed = false;
    m_ownCancel = false;
    m_outcome = TransmissionOutcome{};
    m_expected = 0;
    m_sent = 0;
    m_stage = TransmissionStage::Connecting;
    m_outcome.port = m_config.displayName();
    // The parameters are checked once, here, before any back end sees them.
    if (const QString problem = m_config.problem(); !problem.isEmpty()) {
        m_transport.reset();
        failTransmission(failureOf(TransmissionStage::Connecting, unusablePortMessage(m_config)));
        return;
    }
    m_transport = m_factory ? m_factory(m_config) : makeTransportWithTimeouts(m_config, m_timeouts);
    m_transport->setCancelFlag(m_cancelFlag);
    m_transport->setStageReport(&m_stage);
    if (!m_transport->open())
        failTransmission(m_transport->failure());
}

void PortSession::WritePort(std::string_view bytes)
{
    if (!m_transport || m_failed)
        return;
    m_stage = TransmissionStage::Sending;
    const auto total = static_cast<qsizetype>(bytes.size());
    for (qsizetype done = 0; done < total;) {
        if (cancelRequested()) {
            failTransmission(
                cancelAt(TransmissionStage::Sending, m_transport->deliveryIfAborted(m_outcome.bytes)));
            return;
        }
        const qsizetype piece = std::min(kPieceSize, total - done);
        if (!m_transport->write(QByteArrayView(bytes.data() + done, piece))) {
            failTransmission(m_transport->failure());
            return;
        }
        done += piece;
        countSent(piece);
        if (cancelRequested()) {
            failTransmission(
                cancelAt(TransmissionStage::Sending, m_transport->deliveryIfAborted(m_outcome.bytes)));
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
    // A cancel that came after the last write must not let the transmission complete.
    if (cancelRequested()) {
        failTransmission(
            cancelAt(TransmissionStage::Finishing, m_transport->deliveryIfAborted(m_outcome.bytes)));
        m_transport.reset();
        return;
    }
    m_stage = TransmissionStage::Finishing;
    if (m_transport->finish()) {
        m_outcome.result = TransmissionOutcome::Result::Delivered;
    } else {
        failTransmission(m_transport->failure());
    }
    m_transport.reset();
}

std::optional<std::int64_t> PortSession::CopyFromFile(int fd, std::int64_t length)
{
    if (!m_transport || m_failed)
        return -1;
    m_stage = TransmissionStage::Sending;
    const std::optional<qint64> copied = m_transport->copyFrom(fd, length);
    if (!copied)
        return std::nullopt;
    if (*copied < 0) {
        failTransmission(m_transport->failure());
        return -1;
    }
    countSent(*copied);
    if (cancelRequested()) {
        failTransmission(
            cancelAt(TransmissionStage::Sending, m_transport->deliveryIfAborted(m_outcome.bytes)));
        return -1;
    }
    return *copied;
}

void PortSession::countSent(qint64 bytes)
{
    m_outcome.bytes += bytes;
    m_sent.store(m_outcome.bytes, std::memory_order_relaxed);
}

TransmissionStatus PortSession::status() const
{
    TransmissionStatus status;
    status.stage = m_stage;
    status.done = m_sent;
    status.total = m_expected;
    return status;
}

bool PortSession::PortFailed() const
{
    // A cancel that comes once the transmission has been delivered changes nothing.
    return m_failed || (m_transport && cancelRequested());
}

void PortSession::AbortPort(const std::string& reason)
{
    if (!m_transport || m_failed) {
        m_transport.reset();
        return;
    }
    const PartialDelivery partial = m_transport->deliveryIfAborted(m_outcome.bytes);
    QString message = QString::fromStdString(reason);
    message += partial == PartialDelivery::No
                   ? QStringLiteral(" Nothing was delivered to %1.").arg(m_outcome.port)
                   : QStringLiteral(" The transmission to %1 was broken off.").arg(m_outcome.port);
    failTransmission(failureOf(TransmissionStage::ReadingData, message, partial));
    m_transport.reset();
}

void PortSession::failTransmission(const TransportFailure& failure)
{
    m_failed = true;
    const bool cancelled = failure.cancelled || cancelRequested();
    m_outcome.result =
        cancelled ? TransmissionOutcome::Result::Cancelled : TransmissionOutcome::Result::Failed;
    m_outcome.stage = failure.stage;
    m_outcome.partial = failure.partial;
    if (m_transport)
        m_transport->abort();
    QString message = cancelled ? QStringLiteral("The transmission to %1 was cancelled.").arg(m_outcome.port)
                                : failure.message;
    if (m_transport && !m_transport->failure().note.isEmpty())
        message += QLatin1Char(' ') + m_transport->failure().note; // what abort() did
    if (m_outcome.partial == PartialDelivery::Possible)
        message +=
            QStringLiteral("\n\n") +
            (cancelled
                 ? QStringLiteral("The printer may have received part of the data: check what it printed.")
                 : partialTransmissionAdvice());
    m_outcome.message = message;
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
            QStringLiteral("The port choice could not be saved to %1, so the next start uses the one saved "
                           "before. Check that you may write to that folder and that its disk is neither "
                           "full nor read-only.")
                .arg(settings.fileName()));
}

} // namespace TeskKit
