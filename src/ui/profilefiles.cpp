#include "ui/profilefiles.h"

#include "settings/choices.h"
#include "settings/framedecoder.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace qbx::ui {
namespace {

// Profiles and settings files are a few hundred bytes; a larger file is another kind of file.
constexpr qint64 kLargestFile = qint64{1} << 20;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

std::variant<QByteArray, QString> contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 cannot be read: %2. Check the name and your right to read it.")
            .arg(shown(path), file.errorString());
    QByteArray bytes = file.read(kLargestFile + 1);
    if (bytes.size() > kLargestFile)
        return QStringLiteral("%1 is larger than a settings file or profile can be. Choose another file.")
            .arg(shown(path));
    return bytes;
}

FileChoice fromProfile(const std::string& text, const QString& path)
{
    const auto choice = profileSnapshot(text);
    if (const auto* error = std::get_if<ChoiceError>(&choice))
        return QStringLiteral("%1 cannot be taken, so nothing was changed: %2")
            .arg(shown(path), QString::fromStdString(error->message));
    return std::get<ControlSnapshot>(choice);
}

} // namespace

FileChoice readProfile(const QString& path)
{
    const auto bytes = contents(path);
    if (const auto* error = std::get_if<QString>(&bytes))
        return *error;
    return fromProfile(std::get<QByteArray>(bytes).toStdString(), path);
}

FileChoice readSettingsFile(const QString& path)
{
    const auto bytes = contents(path);
    if (const auto* error = std::get_if<QString>(&bytes))
        return *error;
    ProfileSink sink;
    FrameStream frames(sink);
    frames.feed(std::get<QByteArray>(bytes).toStdString());
    frames.finish();
    const auto profile = sink.profile();
    if (const auto* error = std::get_if<ChoiceError>(&profile))
        return QStringLiteral("%1 is not what Store Settings sends, so nothing was changed: %2")
            .arg(shown(path), QString::fromStdString(error->message));
    return fromProfile(std::get<std::string>(profile), path);
}

QString writeProfile(const QString& path, const ControlSnapshot& choice)
{
    QSaveFile file(path);
    const std::string text = profileText(choice);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(text.data(), qint64(text.size())) == qint64(text.size()) && file.commit())
        return {};
    return QStringLiteral("%1 could not be saved: %2. Choose a folder you may write to, on a disk with room.")
        .arg(shown(path), file.errorString());
}

} // namespace qbx::ui
