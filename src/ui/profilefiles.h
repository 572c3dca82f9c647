#pragma once

#include "settings/store.h"

#include <QString>

#include <variant>

namespace qbx::ui {

// What a file the user opens chooses, or why it cannot be taken, naming the file and what to do.
using FileChoice = std::variant<ControlSnapshot, QString>;

// A profile: the KEY=VALUE lines that `qbx7config store --from` reads.
FileChoice readProfile(const QString& path);
// A settings file: the frames "Store Settings" sends, as `qbx7config decode --profile` reads them.
FileChoice readSettingsFile(const QString& path);
// Writes the choice as a profile, whole or not at all; why not, or an empty text.
QString writeProfile(const QString& path, const ControlSnapshot& choice);

} // namespace qbx::ui
