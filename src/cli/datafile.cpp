#include "datafile.h"

#include <QFileInfo>

#include <string_view>

namespace qbx::cli {
namespace {

constexpr qint64 kChunkSize = 1 << 20;

std::string_view view(const char* data, qint64 size)
{
    return std::string_view(data, static_cast<std::size_t>(size));
}

} // namespace

bool DataFile::canBeSentAgain(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

bool DataFile::open(const QString& path, QString* error)
{
    if (QFileInfo(path).isDir()) {
        *error = QStringLiteral("%1 is a folder, not a file").arg(path);
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, m_file.errorString());
        return false;
    }
    if (!m_file.isSequential() && m_file.size() > 0)
        m_map = m_file.map(0, m_file.size());
    return true;
}

QString DataFile::readFailure() const
{
    return QStringLiteral("reading %1 failed: %2").arg(m_file.fileName(), m_file.errorString());
}

QString DataFile::sendTo(qbx::PrinterPort& port)
{
    if (m_map || (!m_file.isSequential() && m_file.size() == 0)) {
        port.OpenPort();
        port.WritePort(view(reinterpret_cast<const char*>(m_map), m_map ? m_file.size() : 0));
        port.ClosePort();
        return {};
    }
    return streamTo(port);
}

// One transmission of many writes, for what cannot be mapped. A read error midway still
// closes the port (the interface has no way to cancel), and is reported as a failure.
QString DataFile::streamTo(qbx::PrinterPort& port)
{
    if (!m_file.isSequential() && !m_file.seek(0))
        return readFailure();
    QByteArray chunk(kChunkSize, Qt::Uninitialized);
    QString failure;
    port.OpenPort();
    for (;;) {
        const qint64 n = m_file.read(chunk.data(), chunk.size());
        if (n < 0) {
            failure = readFailure();
            break;
        }
        if (n == 0)
            break;
        port.WritePort(view(chunk.constData(), n));
    }
    port.ClosePort();
    return failure;
}

QByteArrayView DataFile::contents(QString* error)
{
    if (m_map)
        return QByteArrayView(m_map, m_file.size());
    if (!m_file.isSequential() && !m_file.seek(0)) {
        *error = readFailure();
        return {};
    }
    m_copy = m_file.readAll();
    if (m_file.error() != QFileDevice::NoError) {
        *error = readFailure();
        return {};
    }
    return m_copy;
}

} // namespace qbx::cli
