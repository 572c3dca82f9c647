#include "port/cupsconnection.h"

#include <QUrl>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace qbx {
namespace {

// How often a connection under way looks whether it is to give up: a few times a slice.
constexpr std::chrono::milliseconds kCancelLook(kCupsSliceMs / 4);

// libcups gives up connecting once an int it polls turns non-zero; this keeps such an int in step
// with a cancel asked for elsewhere, for as long as it lives.
class ConnectCancel
{
public:
    explicit ConnectCancel(const std::function<bool()>& requested)
    {
        if (requested)
            m_thread = std::thread([this, requested] { watch(requested); });
    }
    ~ConnectCancel()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }
    ConnectCancel(const ConnectCancel&) = delete;
    ConnectCancel& operator=(const ConnectCancel&) = delete;

    int* flag() { return &m_flag; }

private:
    void watch(const std::function<bool()>& requested)
    {
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, kCancelLook, [this] { return m_done; }))
            if (requested()) {
                std::atomic_ref<int>(m_flag).store(1);
                return;
            }
    }

    alignas(std::atomic_ref<int>::required_alignment) int m_flag = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace

QByteArray printerResource(const QString& queue)
{
    return "/printers/" + QUrl::toPercentEncoding(queue);
}

ipp_t* newRequest(const CupsLibrary& cups, ipp_op_t operation, const QString& queue, int job)
{
    ipp_t* request = cups.newRequest(operation);
    const QByteArray uri = "ipp://localhost" + printerResource(queue);
    cups.addString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.constData());
    if (job > 0)
        cups.addInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", job);
    cups.addString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cups.user());
    return request;
}

void requestAttributes(const CupsLibrary& cups, ipp_t* request, std::initializer_list<const char*> names)
{
    cups.addStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(names.size()),
                    nullptr, names.begin());
}

QString textOf(const CupsLibrary& cups, ipp_t* message, const char* name, ipp_tag_t tag)
{
    ipp_attribute_t* attribute = cups.findAttribute(message, name, tag);
    return attribute ? QString::fromUtf8(cups.string(attribute, 0, nullptr)) : QString();
}

QStringList keywordsOf(const CupsLibrary& cups, ipp_t* message, const char* name)
{
    QStringList keywords;
    ipp_attribute_t* attribute = cups.findAttribute(message, name, IPP_TAG_KEYWORD);
    for (int i = 0; attribute && i < cups.count(attribute); ++i)
        keywords << QString::fromUtf8(cups.string(attribute, i, nullptr));
    keywords.removeAll(QStringLiteral("none"));
    return keywords;
}

QString withoutFinalStop(QString text)
{
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

int integerOf(const CupsLibrary& cups, ipp_t* message, const char* name, ipp_tag_t tag)
{
    ipp_attribute_t* attribute = cups.findAttribute(message, name, tag);
    return attribute ? cups.integer(attribute, 0) : 0;
}

bool CupsConnection::open()
{
    ConnectCancel cancel(m_cancelRequested);
    m_http = m_cups.connect(m_cups.server(), m_cups.ippPort(), nullptr, AF_UNSPEC, m_cups.encryption(), 1,
                            m_answerMs, cancel.flag());
    if (m_http)
        m_cups.setTimeout(m_http, kCupsSliceMs / 1000.0, &CupsConnection::keepWaiting, this);
    return m_http != nullptr;
}

} // namespace qbx
