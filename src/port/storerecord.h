#pragma once

#include "port/portconfig.h"
#include "settings/store.h"

#include <QString>

#include <functional>
#include <variant>

namespace qbx {

// What a printer holds as far as this program knows: the value of every setting that a store it
// confirmed sent, one profile a printer (named by printerIdentity(), so that two names of one
// printer share it) in storeRecordFolder(). It knows only what this program sent from this
// account and the printer confirmed: a printer reset, replaced or set by other means is unknown
// to it.
//
// A record is replaced whole (a new file, synced, renamed over the old one), so a reader sees the
// old or the new one. A transmission that may change the printer takes its turn first (a lock
// on a file beside the record, which the system lets go when the process ends), so that runs at
// once never leave the record claiming what another run's transmission changed; a record that
// cannot be kept never stops a transmission.
class StoreRecord
{
public:
    explicit StoreRecord(const PortConfig& port);
    ~StoreRecord();
    StoreRecord(const StoreRecord&) = delete;
    StoreRecord& operator=(const StoreRecord&) = delete;

    // Whether there is a record of this printer.
    bool exists() const;

    // What the printer holds, as far as the record knows; nothing sent where there is none. A
    // record that cannot be read or is damaged holds nothing, and *warning says why.
    ControlSnapshot held(QString* warning) const;

    enum class Turn
    {
        Taken,
        Busy,         // another run sends to this printer and kept it past the wait
        NoRecordKept, // the folder or lock cannot be made: send, and keep no record (*why)
    };
    // Waits while another run sends to this printer, or until `givenUp` says to stop (Busy).
    // Held until the record is destroyed.
    Turn takeTurn(QString* why, const std::function<bool()>& givenUp = {});

    // With the turn taken. Before `sent` goes out the record stops vouching for the settings it
    // changes, so that a store that fails, or a crash, leaves them unknown rather than wrong;
    // forgetAll() before bytes that may hold anything (a data file). Once the printer confirmed
    // `sent`, add() records its values. Each writes only what changes; false with *why.
    bool forget(const ControlSnapshot& sent, QString* why) const;
    bool forgetAll(QString* why) const;
    bool add(const ControlSnapshot& sent, QString* why) const;

private:
    std::variant<ControlSnapshot, QString> readRecord() const;
    bool write(const ControlSnapshot& now, QString* why) const;

    QString m_uri;
    QString m_identity;
    QString m_path;
    int m_turn = -1; // the lock file's descriptor while the turn is taken
};

// $XDG_STATE_HOME/qbx7config, or ~/.local/state/qbx7config when that is unset or not absolute.
QString storeRecordFolder();

} // namespace qbx
