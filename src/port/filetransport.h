#pragma once

#include "transport.h"

#include <QFile>
#include <QSaveFile>

#include <memory>

namespace TeskKit {

// Output to a file. A regular file (or a new one) is replaced only when the transmission
// completes, so a failed one leaves the old contents in place. A device node or FIFO (a USB
// printer at /dev/usb/lp0) is written directly.
class FileTransport final : public Transport
{
public:
    explicit FileTransport(QString path);

    bool open() override;
    bool write(QByteArrayView data) override;
    bool finish() override;
    void abort() override;

private:
    bool failWith(const QFileDevice& device);

    QString m_path;
    std::unique_ptr<QSaveFile> m_saveFile;
    std::unique_ptr<QFile> m_device;
};

} // namespace TeskKit
