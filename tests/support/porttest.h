#pragma once

#include "portsession.h"
#include "reporter.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <string>

namespace qbx::test {

// Keeps the component's messages for the test instead of showing them.
class ListReporter : public TeskKit::Reporter
{
public:
    void report(const QString& message) override { messages << message; }
    QString all() const { return messages.join(QLatin1Char('\n')); }
    QStringList messages;
};

inline QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

// One transmission: open, the writes in order, close.
inline void transmit(TeskKit::PortSession& session, const QList<QByteArray>& writes)
{
    session.OpenPort();
    for (const QByteArray& w : writes)
        session.WritePort(std::string_view(w.constData(), size_t(w.size())));
    session.ClosePort();
}

// A Store Settings click's worth of writes, enough to show one report per transmission.
inline QList<QByteArray> repeated(const std::string& frame, int times = 31)
{
    return QList<QByteArray>(times, bytes(frame));
}

} // namespace qbx::test
