#pragma once

#include "transport.h"

#include <QSaveFile>

#include <memory>

namespace TeskKit {

// Output to a file. A regular file (or a new one) is replaced only when the transmission
// completes, so a failed one leaves the old contents in place. A device node or FIFO (a USB
// printer at /dev/usb/lp0) is written directly, never waiting without bound: a FIFO that gets
// no reader, or a device that takes no data, is reported.
class FileTransport final : public Transport
{
public:
    explicit FileTransport(QString path, PortTimeouts timeouts = {});
    ~FileTransport() override;

    bool open() override;
    bool write(QByteArrayView data) override;
    bool finish() override;
    void abort() override;

private:
    bool openDevice(bool isFifo);
    bool writeDevice(QByteArrayView data);
    void closeDevice();

    QString m_path;
    PortTimeouts m_timeouts;
    std::unique_ptr<QSaveFile> m_saveFile;
    qint64 m_saved = 0; // bytes handed to m_saveFile in this transmission
    int m_fd = -1;
};

} // namespace TeskKit
