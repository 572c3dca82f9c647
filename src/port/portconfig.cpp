#include "portconfig.h"

#include <QDir>
#include <QSettings>

namespace TeskKit {
namespace {

const QString kKindKey = QStringLiteral("port/kind");
const QString kFilePathKey = QStringLiteral("file/path");
const QString kFileKind = QStringLiteral("file");
const QString kFileScheme = QStringLiteral("file:");

// A path longer than any file system allows is damage, not a choice.
constexpr qsizetype kMaxPathLength = 4096;

} // namespace

PortConfig PortConfig::defaults()
{
    PortConfig config;
    config.filePath = QDir::home().filePath(QStringLiteral("QBX740.prn"));
    return config;
}

QString PortConfig::toUri() const
{
    return kFileScheme + filePath;
}

std::optional<PortConfig> PortConfig::fromUri(const QString& uri, QString* error)
{
    auto reject = [error](const QString& why) -> std::optional<PortConfig> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!uri.startsWith(kFileScheme))
        return reject(QStringLiteral("'%1' is not a port: use file:PATH").arg(uri));
    PortConfig config;
    config.filePath = uri.mid(kFileScheme.size());
    if (config.filePath.isEmpty())
        return reject(QStringLiteral("'%1' names no file").arg(uri));
    return config;
}

PortConfig PortConfig::load(QSettings& settings)
{
    const PortConfig fallback = defaults();
    if (settings.value(kKindKey).toString() != kFileKind)
        return fallback;
    const QString path = settings.value(kFilePathKey).toString();
    if (path.isEmpty() || path.size() > kMaxPathLength)
        return fallback;
    PortConfig config;
    config.filePath = path;
    return config;
}

void PortConfig::save(QSettings& settings) const
{
    settings.setValue(kKindKey, kFileKind);
    settings.setValue(kFilePathKey, filePath);
}

} // namespace TeskKit
