#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>

namespace qbx::test {

// What the program wrote or showed, held against the copy kept as tests/golden/NAME. After a change
// that is meant, QBX_UPDATE_GOLDEN=1 writes the new copies, to be read in the diff like code.
// Returns what differs, empty when nothing does; what was made is left in the working folder.
inline QString differsFromKept(const QString& name, const QByteArray& made)
{
    const QString kept = QStringLiteral(QBX_GOLDEN_DIR "/") + name;
    QFile file(kept);
    if (qEnvironmentVariableIntValue("QBX_UPDATE_GOLDEN") == 1)
        return file.open(QIODevice::WriteOnly) && file.write(made) == made.size()
                   ? QString()
                   : QStringLiteral("could not write ") + kept;
    if (file.open(QIODevice::ReadOnly) && file.readAll() == made)
        return {};
    QFile shown(name);
    const bool saved = shown.open(QIODevice::WriteOnly) && shown.write(made) == made.size();
    return QStringLiteral("%1 differs from %2; if the change is meant, run again with QBX_UPDATE_GOLDEN=1")
        .arg(saved ? QFileInfo(shown).absoluteFilePath() : QStringLiteral("what was made"), kept);
}

} // namespace qbx::test
