#include "datafile.h"

#include <QFileInfo>

namespace qbx::cli {

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
    return true;
}

QByteArray DataFile::contents(QString* error)
{
    QByteArray bytes = m_file.readAll();
    if (m_file.error() != QFileDevice::NoError)
        *error = QStringLiteral("reading %1 failed: %2").arg(m_file.fileName(), m_file.errorString());
    return bytes;
}

} // namespace qbx::cli
