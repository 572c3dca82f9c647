// The saved port choice is a file in the user's configuration folder that anything may have
// damaged. Loading must fall back to a default, never crash. Input: the file's contents.
#include "port/portconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("port.conf"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    QSettings settings(path, QSettings::IniFormat);
    const qbx::PortConfig config = qbx::PortConfig::load(settings);
    // Whatever was loaded must survive its own text form.
    QString error;
    if (!qbx::PortConfig::fromUri(config.toUri(), &error))
        std::abort();
    return 0;
}
