#pragma once

#include "port/transport.h"

#include <QByteArray>

#include <optional>

#include <sys/stat.h>

namespace qbx {

// Output to a file.
//
// A regular file (or a new one) is delivered once the new contents are durably in place under
// its name: they go to a temporary file beside it, which is synced and renamed over it, and the
// folder is synced. Until then the old file stays as it was, whatever fails; the new one keeps
// its owner, group and mode. A symbolic link is followed, and the file it points to replaced,
// only where the system itself would follow it (its rule for shared folders such as /tmp).
//
// A device node or FIFO (a USB printer at /dev/usb/lp0) is written directly and is delivered once
// it has accepted every byte and closed without error. No wait is without bound: a FIFO that gets
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
    PartialDelivery deliveryIfAborted(qint64 written) const override;
    std::optional<qint64> copyFrom(int source, qint64 length) override;

private:
    bool resolveTarget(std::optional<struct stat>& found);
    bool mayFollow(const QByteArray& link, const struct stat& linkStatus);
    bool openReplacement();
    bool writeReplacement(QByteArrayView data);
    bool finishReplacement();
    bool giveOwnerAndMode();
    bool syncFolder();
    bool failReplacing(TransmissionStage stage, int error);
    QString untouchedFile() const;

    bool openDevice(bool isFifo);
    bool writeDevice(QByteArrayView data);
    bool waitUntilWritable();
    bool finishDevice();
    bool drainDevice();
    bool failStalled(TransmissionStage stage);
    PartialDelivery deviceDelivery() const;

    QString m_path; // as the user chose it
    PortTimeouts m_timeouts;
    QByteArray m_target;              // the file replaced: m_path with its symbolic links followed
    QByteArray m_temporary;           // holds the new contents until they replace m_target
    std::optional<struct stat> m_old; // the file at m_target before this transmission
    int m_fd = -1;                    // the temporary file or the device
    bool m_isDevice = false;
    bool m_isFifo = false;
    qint64 m_sent = 0;     // bytes the device or FIFO has accepted
    bool m_copied = false; // copyFrom() has worked in this transmission
};

} // namespace qbx
