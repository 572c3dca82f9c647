#pragma once

#include <QString>

#include <optional>

class QSettings;

namespace TeskKit {

// The user's choice of port and its parameters: what the panel edits, what is saved under the
// settings key, and what the command line names as a URI ("file:/home/me/QBX740.prn").
struct PortConfig
{
    enum class Kind { File };

    Kind kind = Kind::File;
    QString filePath;

    // The safe default: a file in the home folder. Never a print queue, where raw printer
    // commands would come out of an office printer as garbage.
    static PortConfig defaults();

    QString toUri() const;
    // nullopt, with a reason in *error, when the text names no port this program can reach.
    static std::optional<PortConfig> fromUri(const QString& uri, QString* error = nullptr);

    // Missing, damaged or out-of-range stored values give defaults(), never a failure.
    static PortConfig load(QSettings& settings);
    void save(QSettings& settings) const;

    bool operator==(const PortConfig&) const = default;
};

} // namespace TeskKit
