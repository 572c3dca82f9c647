#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace qbx::test {

// What the program writes or shows, held against the copy kept in tests/golden/. After a change
// that is meant, QBX_UPDATE_GOLDEN=1 writes the new copies, to be read in the diff like code.
// Returns what differs, empty when nothing does.
class Golden
{
public:
    explicit Golden(const QString& name)
        : m_kept(QStringLiteral(QBX_GOLDEN_DIR "/") + name)
    {}

    QString differsFrom(const QByteArray& made) const
    {
        QFile kept(m_kept);
        if (updating())
            return update([&] { return kept.open(QIODevice::WriteOnly) && kept.write(made) == made.size(); });
        if (kept.open(QIODevice::ReadOnly) && kept.readAll() == made)
            return {};
        return unlike([&](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(made) == made.size();
        });
    }

    // Pictures compare by their pixels. (A template, so that tests without Qt Gui may use the rest.)
    template<typename Image>
    QString differsFromPicture(const Image& made) const
    {
        const Image shown = made.convertToFormat(Image::Format_RGB32);
        if (updating())
            return update([&] { return shown.save(m_kept, "PNG"); });
        if (Image(m_kept).convertToFormat(Image::Format_RGB32) == shown)
            return {};
        return unlike([&](const QString& path) { return shown.save(path, "PNG"); });
    }

private:
    static bool updating() { return qEnvironmentVariableIntValue("QBX_UPDATE_GOLDEN") == 1; }

    template<typename Write>
    QString update(Write write) const
    {
        return write() ? QString() : QStringLiteral("could not write ") + m_kept;
    }

    template<typename Write>
    QString unlike(Write write) const
    {
        const QString made = QDir::current().absoluteFilePath(QFileInfo(m_kept).fileName());
        return QStringLiteral(
                   "%1 differs from %2%3; if the change is meant, run again with QBX_UPDATE_GOLDEN=1")
            .arg(write(made) ? made : QStringLiteral("what was made"), m_kept,
                 QFile::exists(m_kept) ? QString() : QStringLiteral(" (missing)"));
    }

    QString m_kept;
};

} // namespace qbx::test
