#include "port/portsession.h"

#include "port/portkinds.h"
#include "port/portmessages.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace qbx {
namespace {

// A long write goes to the transport in pieces of this size, so that progress shows and a cancel
// is seen between them; large enough that a file goes out in few system calls.
constexpr qsizetype kPieceSize = qsizetype{1} << 20;
// Small writes (the frames of Store Settings, 11 bytes each) are gathered up to this size and
// handed on together: the same bytes in the same order, in one system call rather than one each.
constexpr qsizetype kGatherLimit = 4096;

TransportFailure failureOf(TransmissionStage stage, const Problem& problem,
                           PartialDelivery partial = PartialDelivery::No)
{
    TransportFailure failure;
    failure.stage = stage;
    failure.problem = problem;
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

PortSession::PortSession(TransportFactory factory)
    : m_factory(std::move(factory))
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
    const PortKind* kind = describedKind(config.kind);
    return kind ? kind->transport(config, timeouts) : nullptr;
}

void PortSession::beginTransmission()
{
    if (m_transport && !m_failed) // a transmission left open by a caller: it cannot be completed any more
        m_transport->abort();
    m_transport.reset();
    m_failed = false;
    m_ownCancel = false;
    m_gathered.clear();
    m_outcome = TransmissionOutcome{};
    m_expected = 0;
    m_sent = 0;
    m_stage = TransmissionStage::Connecting;
    m_outcome.port = m_config.displayName();
}

void PortSession::refuse(const Problem& problem)
{
    beginTransmission();
    failTransmission(failureOf(TransmissionStage::Connecting, problem));
}

void PortSession::OpenPort()
{
    beginTransmission();
    // The parameters are checked once, here, before any back end sees them.
    if (const QString problem = m_config.problem(); !problem.isEmpty()) {
        failTransmission(failureOf(TransmissionStage::Connecting, unusablePort(m_config)));
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
    if (m_gathered.size() + qsizetype(bytes.size()) <= kGatherLimit) {
        m_gathered.append(bytes.data(), qsizetype(bytes.size()));
        return;
    }
    if (sendGathered())
        writeNow(bytes);
}

// False when the transmission has failed or been cancelled.
bool PortSession::sendGathered()
{
    if (!m_gathered.isEmpty()) {
        const QByteArray gathered = std::exchange(m_gathered, {});
        writeNow(std::string_view(gathered.constData(), std::size_t(gathered.size())));
    }
    return !m_failed;
}

void PortSession::writeNow(std::string_view bytes)
{
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
    if (m_failed || !sendGathered()) { // aborted, reported and ended when it failed
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
    if (!m_transport || m_failed || !sendGathered())
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
    m_gathered.clear();
    if (!m_transport || m_failed) {
        m_transport.reset();
        return;
    }
    const PartialDelivery partial = m_transport->deliveryIfAborted(m_outcome.bytes);
    // The reason comes as one text through the plain port interface: it is the problem whole.
    const Problem problem{QString::fromStdString(reason), {}};
    failTransmission(failureOf(TransmissionStage::ReadingData, problem, partial),
                     partial == PartialDelivery::No
                         ? QStringLiteral("Nothing was delivered to %1.").arg(m_outcome.port)
                         : QStringLiteral("The transmission to %1 was broken off.").arg(m_outcome.port));
    m_transport.reset();
}

void PortSession::failTransmission(const TransportFailure& failure, const QString& aftermath)
{
    m_failed = true;
    const bool cancelled = failure.cancelled || cancelRequested();
    m_outcome.result =
        cancelled ? TransmissionOutcome::Result::Cancelled : TransmissionOutcome::Result::Failed;
    m_outcome.stage = failure.stage;
    m_outcome.partial = failure.partial;
    m_outcome.problem =
        cancelled ? Problem{QStringLiteral("The transmission to %1 was cancelled.").arg(m_outcome.port), {}}
                  : failure.problem;
    m_outcome.aftermath = aftermath;
    if (!m_transport)
        return;
    m_transport->abort(); // may change `failure`, which can be the transport's own
    m_outcome.aftermath = joinSentences(m_outcome.aftermath, m_transport->failure().note);
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
    m_savingProblem = {};
    if (settings.status() != QSettings::NoError)
        m_savingProblem = {
            QStringLiteral("The port choice could not be saved to %1, so the next start uses the "
                           "one saved before.")
                .arg(settings.fileName()),
            QStringLiteral("Check that you may write to that folder and that its disk is neither "
                           "full nor read-only.")};
}

} // namespace qbx
