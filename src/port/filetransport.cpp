#include "filetransport.h"

#include <QFileInfo>

namespace TeskKit {

FileTransport::FileTransport(QString path)
    : m_path(std::move(path))
{
}

bool FileTransport::failWith(const QFileDevice& device)
{
    return fail(QStringLiteral("%1: %2").arg(m_path, device.errorString()));
}

bool FileTransport::open()
{
    if (m_path.trimmed().isEmpty())
        return fail(QStringLiteral("No output file is chosen. Choose one in the port panel."));

    const QFileInfo info(m_path);
    if (info.isDir())
        return fail(QStringLiteral("%1 is a folder. Choose a file to write to.").arg(m_path));

    if (info.exists() && !info.isFile()) {
        m_device = std::make_unique<QFile>(m_path);
        if (!m_device->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return failWith(*m_device);
        return true;
    }

    m_saveFile = std::make_unique<QSaveFile>(m_path);
    if (!m_saveFile->open(QIODevice::WriteOnly))
        return failWith(*m_saveFile);
    return true;
}

bool FileTransport::write(QByteArrayView data)
{
    QFileDevice& device = m_saveFile ? static_cast<QFileDevice&>(*m_saveFile) : *m_device;
    qsizetype done = 0;
    while (done < data.size()) {
        const qint64 n = device.write(data.data() + done, data.size() - done);
        if (n <= 0)
            return failWith(device);
        done += n;
    }
    return true;
}

bool FileTransport::finish()
{
    if (m_saveFile) {
        const bool committed = m_saveFile->commit();
        if (!committed)
            failWith(*m_saveFile);
        m_saveFile.reset();
        return committed;
    }
    if (m_device) {
        const bool flushed = m_device->flush();
        if (!flushed)
            failWith(*m_device);
        m_device->close();
        m_device.reset();
        return flushed;
    }
    return true;
}

void FileTransport::abort()
{
    if (m_saveFile)
        m_saveFile->cancelWriting();
    m_saveFile.reset();
    m_device.reset();
}

} // namespace TeskKit
