#pragma once

#include "port/printerport.h"
#include "port/problem.h"

#include <QString>

#include <memory>

namespace qbx {

// A data file passed to the printer unchanged, for the window and the command line alike. It is
// streamed in large pieces with read(), never mapped and never held whole, so memory stays the
// same whatever the file's size, and a file that shrinks while it is sent gives a message, not a
// signal. A transmission stays one transmission for the port: OpenPort, the pieces, ClosePort,
// or AbortPort when the file fails.
class DataFileReader
{
public:
    enum class Accept
    {
        AnyFile,          // pipes and devices too (the command line reads standard input so)
        RegularFilesOnly, // what the window offers: a file with a length
    };

    DataFileReader();
    ~DataFileReader();
    DataFileReader(const DataFileReader&) = delete;
    DataFileReader& operator=(const DataFileReader&) = delete;

    // Opens the file for reading; false, with *error naming the file, the reason and what to
    // do, when it cannot be read. Nothing is sent then.
    bool open(const QString& path, Accept accept, Problem* error);

    // One transmission of the whole file to the port. Reading stops the moment the port fails;
    // a file that fails or changes while it is sent breaks the transmission off with a reason.
    void sendTo(qbx::StreamPort& port);

private:
    bool sendRegular(qbx::StreamPort& port, std::string* failure);
    bool sendStream(qbx::StreamPort& port, std::string* failure);
    std::string readFailure(int error) const;
    std::string shrunk(qint64 read) const;

    QString m_path;
    int m_fd = -1;
    bool m_regular = false;
    qint64 m_size = 0;
    bool m_wrote = false;
    std::unique_ptr<char[]> m_buffer;
};

} // namespace qbx
