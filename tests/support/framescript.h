#pragma once

#include "settings/frames.h"

#include <QByteArray>
#include <QStringList>

#include <string>
#include <vector>

namespace qbx::test {

// "clear 1 000F, set 1 0003, store, self-test" as the frames the printer receives.
inline std::vector<std::string> framesOf(const QString& script)
{
    std::vector<std::string> frames;
    for (const QString& command : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList words = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.at(0) == QLatin1String("store"))
            frames.push_back(qbx::storeFrame());
        else if (words.at(0) == QLatin1String("self-test"))
            frames.push_back(qbx::selfTestFrame());
        else
            frames.push_back((words.at(0) == QLatin1String("set") ? qbx::setFrame : qbx::clearFrame)(
                words.at(1).toStdString(), words.at(2).toStdString()));
    }
    return frames;
}

// The same frames as one run of bytes.
inline QByteArray frames(const QString& script)
{
    QByteArray bytes;
    for (const std::string& frame : framesOf(script))
        bytes += QByteArray::fromStdString(frame);
    return bytes;
}

} // namespace qbx::test
