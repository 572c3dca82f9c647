#pragma once

#include "settings/store.h"

#include <QString>

namespace qbx::cli {

// What each port confirmed: the value of every setting that a store it confirmed sent, one
// profile a port (named by its canonical URI) in storeRecordFolder(). It knows only what this
// program sent from this account and the port confirmed: a printer reset, replaced or set by
// other means is unknown to it.
//
// A record is replaced whole (a new file renamed over the old one), so a reader sees the old
// or the new one; runs that add to it at once take turns through a lock beside it.
class StoreRecord
{
public:
    explicit StoreRecord(const QString& uri);

    // What the port holds, as far as the record knows; nothing sent where there is none. A
    // record that cannot be read or is damaged holds nothing, and *warning says why.
    ControlSnapshot held(QString* warning) const;

    // Records that the port confirmed `sent`; false with *why when the record cannot be written
    // (the store itself stands).
    bool add(const ControlSnapshot& sent, QString* why) const;

    QString path() const { return m_path; }

private:
    QString m_uri;
    QString m_path;
};

// $XDG_STATE_HOME/qbx7config, or ~/.local/state/qbx7config when that is unset or not absolute.
QString storeRecordFolder();

} // namespace qbx::cli
