#pragma once

#include "settings/store.h"

#include <QString>

#include <functional>

namespace qbx::cli {

// What each port confirmed: the value of every setting that a store it confirmed sent, one
// profile a port (named by its canonical URI) in storeRecordFolder(). It knows only what this
// program sent from this account and the port confirmed: a printer reset, replaced or set by
// other means is unknown to it.
//
// A record is replaced whole (a new file, synced, renamed over the old one), so a reader sees
// the old or the new one; runs that change it at once take turns through a lock beside it. A
// record that cannot be written never stops a store.
class StoreRecord
{
public:
    explicit StoreRecord(const QString& uri);

    // What the port holds, as far as the record knows; nothing sent where there is none. A
    // record that cannot be read or is damaged holds nothing, and *warning says why.
    ControlSnapshot held(QString* warning) const;

    // Before `sent` goes out: the record stops vouching for the settings it changes, so that a
    // store that fails, or a crash before add(), leaves them unknown rather than wrong. Only
    // needed where held() does not hold every value of `sent`.
    bool forget(const ControlSnapshot& sent, QString* why) const;

    // Once the port confirmed `sent`: the record holds its values.
    bool add(const ControlSnapshot& sent, QString* why) const;

    QString path() const { return m_path; }

private:
    bool update(const std::function<ControlSnapshot(const ControlSnapshot&)>& change, QString* why) const;

    QString m_uri;
    QString m_path;
};

// $XDG_STATE_HOME/qbx7config, or ~/.local/state/qbx7config when that is unset or not absolute.
QString storeRecordFolder();

} // namespace qbx::cli
