#include "cli/recordkeeper.h"

#include "cli/console.h"
#include "port/storerecord.h"

namespace qbx::cli {

namespace {

const QString kNoRecord =
    QStringLiteral("no record of %1 is kept (%2): --if-changed will send to it every time");

} // namespace

Transmission RecordKeeper::storing(const ControlSnapshot& choices)
{
    return [this, choices](qbx::PortSession& port) {
        const QString uri = port.config().toUri();
        qbx::StoreRecord record(port.config());
        QString why;
        const qbx::StoreRecord::Turn turn = record.takeTurn(&why, [&port] { return port.cancelRequested(); });
        if (turn == qbx::StoreRecord::Turn::Busy) {
            port.refuse({QStringLiteral("%1 is not sent to: %2.").arg(uri, why), {}});
            return;
        }
        const bool keeping = turn == qbx::StoreRecord::Turn::Taken;
        if (!keeping)
            note(uri, kNoRecord.arg(printable(uri), why));
        QString damage;
        const bool holds = keeping && holdsEvery(record.held(&damage), choices);
        if (!damage.isEmpty())
            note(uri, damage);
        if (keeping && !holds && !record.forget(choices, &why))
            note(uri, QStringLiteral("the record of %1 cannot forget what this store changes (%2): until it "
                                     "can, --if-changed may take the printer for holding values it does not")
                          .arg(printable(uri), why));
        StoreSettings(port, choices);
        if (keeping && !holds && port.lastOutcome().delivered() && !record.add(choices, &why))
            note(uri, QStringLiteral("the store to %1 is not recorded (%2): --if-changed will send it again")
                          .arg(printable(uri), why));
    };
}

Transmission RecordKeeper::sending(const Transmission& send)
{
    return [this, send](qbx::PortSession& port) {
        const QString uri = port.config().toUri();
        qbx::StoreRecord record(port.config());
        if (!record.exists()) {
            send(port);
            return;
        }
        QString why;
        switch (record.takeTurn(&why, [&port] { return port.cancelRequested(); })) {
        case qbx::StoreRecord::Turn::Busy:
            port.refuse({QStringLiteral("%1 is not sent to: %2.").arg(uri, why), {}});
            return;
        case qbx::StoreRecord::Turn::Taken:
            if (!record.forgetAll(&why))
                note(uri,
                     QStringLiteral("the record of %1 cannot forget the printer's settings (%2): until it "
                                    "can, --if-changed may take the printer for holding values it does not")
                         .arg(printable(uri), why));
            break;
        case qbx::StoreRecord::Turn::NoRecordKept:
            note(uri, QStringLiteral("the record of %1 cannot forget the printer's settings (%2): until it "
                                     "can, --if-changed may take the printer for holding values it does not")
                          .arg(printable(uri), why));
            break;
        }
        send(port);
    };
}

void RecordKeeper::sayAbout(const PortResult& result, Console& console)
{
    QStringList notes;
    {
        const std::lock_guard lock(m_mutex);
        notes = m_notes[result.uri];
        m_notes.erase(result.uri);
    }
    for (const QString& text : std::as_const(notes))
        console.warn(m_command, text);
}

void RecordKeeper::note(const QString& uri, const QString& text)
{
    const std::lock_guard lock(m_mutex);
    m_notes[uri] << text;
}

} // namespace qbx::cli
