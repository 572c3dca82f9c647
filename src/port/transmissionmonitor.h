#pragma once

#include <QtGlobal>

namespace TeskKit {

// Watches a transmission as it goes out, so that a long one can show its progress and be
// cancelled. The session calls it from inside the port operations.
class TransmissionMonitor
{
public:
    virtual ~TransmissionMonitor() = default;

    virtual void started() = 0;
    // After each piece: done of total bytes are out, of the whole transmission where its size is
    // known in advance (a data file), else of the write at hand. false cancels the transmission.
    virtual bool advance(qint64 done, qint64 total) = 0;
    virtual void finished() = 0;
};

} // namespace TeskKit
