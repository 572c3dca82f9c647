#pragma once

// Types and constants only, as in cupslibrary.h: every call goes through the CupsLibrary.
#include "port/cupslibrary.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <memory>

namespace qbx {

// How often a wait on the print server looks for a cancel and for its bound.
inline constexpr int kCupsSliceMs = 200;

using IppDelete = decltype(&::ippDelete);

struct IppDeleter
{
    IppDelete deleteMessage;
    void operator()(ipp_t* message) const { deleteMessage(message); }
};
using IppMessage = std::unique_ptr<ipp_t, IppDeleter>;

// The resource of a queue on the server: "/printers/NAME".
QByteArray printerResource(const QString& queue);
// A request about the queue, or one of its jobs, by this user.
ipp_t* newRequest(const CupsLibrary& cups, ipp_op_t operation, const QString& queue, int job = 0);
void requestAttributes(const CupsLibrary& cups, ipp_t* request, std::initializer_list<const char*> names);
// An attribute of the answer; empty, none or 0 when it is missing.
QString textOf(const CupsLibrary& cups, ipp_t* message, const char* name, ipp_tag_t tag);
QStringList keywordsOf(const CupsLibrary& cups, ipp_t* message, const char* name);
int integerOf(const CupsLibrary& cups, ipp_t* message, const char* name, ipp_tag_t tag);
// The server's sentences go inside ours, in brackets, without their full stop.
QString withoutFinalStop(QString text);

// A connection of the program's own to the print server, so that every call on it is bounded:
// libcups asks keepWaiting() each time the server has been silent for a slice, and the call gives
// up once the server has kept one answer back for the bound, or a cancel is asked for.
class CupsConnection
{
public:
    enum class Interruption
    {
        None,
        Cancelled,
        NoAnswer,
    };

    CupsConnection(const CupsLibrary& cups, int answerMs, std::function<bool()> cancelRequested = {})
        : m_cups(cups)
        , m_answerMs(answerMs)
        , m_cancelRequested(std::move(cancelRequested))
    {}
    ~CupsConnection()
    {
        if (m_http)
            m_cups.close(m_http);
    }
    CupsConnection(const CupsConnection&) = delete;
    CupsConnection& operator=(const CupsConnection&) = delete;

    // Connects to the server the user's CUPS configuration names. Why it could not is not kept:
    // libcups leaves errno to whatever its clean-up last did.
    bool open();

    // Starts the bound of one call.
    void startCall()
    {
        m_deadline.setRemainingTime(m_answerMs);
        m_interruption = Interruption::None;
    }

    http_t* http() const { return m_http; }
    Interruption interruption() const { return m_interruption; }
    int answerMs() const { return m_answerMs; }
    // Of the last call that failed on the open connection.
    int errorNumber() const { return m_cups.error(m_http); }

    // Where the connection goes, as the user would write it: "/run/cups/cups.sock", "host:631".
    QString serverName() const
    {
        const QString server = QString::fromUtf8(m_cups.server());
        return server.startsWith(QLatin1Char('/'))
                   ? server
                   : QStringLiteral("%1:%2").arg(server).arg(m_cups.ippPort());
    }

    // The answer to a request (which it takes), or nullptr when the call failed.
    IppMessage call(ipp_t* request, const QByteArray& resource)
    {
        startCall();
        return IppMessage(m_cups.doRequest(m_http, request, resource.constData()), {m_cups.deleteMessage});
    }

private:
    static int keepWaiting(http_t* /*http*/, void* data)
    {
        auto* self = static_cast<CupsConnection*>(data);
        if (self->m_cancelRequested && self->m_cancelRequested())
            self->m_interruption = Interruption::Cancelled;
        else if (self->m_deadline.hasExpired())
            self->m_interruption = Interruption::NoAnswer;
        return self->m_interruption == Interruption::None ? 1 : 0;
    }

    const CupsLibrary& m_cups;
    int m_answerMs;
    std::function<bool()> m_cancelRequested;
    http_t* m_http = nullptr;
    QDeadlineTimer m_deadline;
    Interruption m_interruption = Interruption::None;
};

} // namespace qbx
