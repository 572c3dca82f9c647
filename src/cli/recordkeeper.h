#pragma once

#include "cli/fleet.h"
#include "settings/store.h"

#include <QStringList>

#include <map>
#include <mutex>

namespace qbx::cli {

class Console;

// Keeps each printer's record (see StoreRecord) in step with what the transmissions to it do,
// each on its own thread, and holds what it has to say about a port until that port's line is
// written.
class RecordKeeper
{
public:
    explicit RecordKeeper(QString command)
        : m_command(std::move(command))
    {}

    // A store of `choices`: the record forgets what it would change, the store is sent, and once
    // the printer confirmed it the record holds its values.
    Transmission storing(const ControlSnapshot& choices);
    // Bytes that may set anything: the record forgets the printer before they go.
    Transmission sending(const Transmission& send);

    // Writes what there is to say about the port, on standard error.
    void sayAbout(const PortResult& result, Console& console);

private:
    void note(const QString& uri, const QString& text);

    QString m_command;
    std::mutex m_mutex;
    std::map<QString, QStringList> m_notes; // by the ports' URIs
};

} // namespace qbx::cli
