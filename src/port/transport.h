#pragma once

#include <QByteArrayView>
#include <QString>

namespace TeskKit {

// How long a transport waits for a port that does not answer. The defaults suit real printers;
// tests shorten them to keep their run time bounded.
struct PortTimeouts
{
    int connectMs = 5000;     // a network printer accepting the connection
    int writeStallMs = 10000; // a write making no progress at all (a stalled printer or line)
    int drainMs = 2000;       // a network printer closing its side after the last byte
    int deviceOpenMs = 3000;  // a FIFO getting a reader
    int jobStateMs = 3000;    // a print queue taking up a finished job
};

// One way of reaching a printer. A transmission is open(), write() as often as needed, then
// finish() when everything went out, or abort() after a failure. Each call reports failure by
// returning false, with errorString() saying why in words a user can act on.
class Transport
{
public:
    virtual ~Transport() = default;

    virtual bool open() = 0;
    virtual bool write(QByteArrayView data) = 0;
    // Completes the transmission: when it returns true every byte has reached the port.
    virtual bool finish() = 0;
    // Ends a failed transmission without completing it (removes temporary files, cancels jobs).
    virtual void abort() = 0;

    QString errorString() const { return m_error; }

protected:
    bool fail(const QString& message)
    {
        m_error = message;
        return false;
    }

private:
    QString m_error;
};

} // namespace TeskKit
