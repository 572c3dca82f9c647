#include "port/problem.h"

namespace qbx {

QString Problem::text() const
{
    return joinSentences(what, todo);
}

QString joinSentences(const QString& first, const QString& second)
{
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    return first + QLatin1Char(' ') + second;
}

} // namespace qbx
