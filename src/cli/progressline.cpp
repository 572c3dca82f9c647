#include "cli/progressline.h"

#include "cli/console.h"
#include "port/portmessages.h"

#include <algorithm>

#include <sys/ioctl.h>
#include <unistd.h>

namespace qbx::cli {
namespace {

using namespace std::chrono_literals;

constexpr auto kFirstShown = 1s;
constexpr auto kRedrawn = 250ms;

// Written past the terminal's width, the line would wrap, and the next redraw would leave the
// wrapped part behind.
int terminalColumns()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col - 1 : 79;
}

void writeError(const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(STDERR_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return; // a terminal that takes nothing: the progress is only a courtesy
        done += n;
    }
}

} // namespace

ProgressLine::ProgressLine(bool shown, std::size_t ports)
    : m_ports(ports)
{
    if (shown)
        m_thread = std::thread([this] { run(); });
}

ProgressLine::~ProgressLine()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    const auto cleared = clearedForOutput();
}

void ProgressLine::started(const qbx::PortSession& session, const QString& uri)
{
    const std::lock_guard lock(m_mutex);
    m_running.push_back({&session, uri, std::chrono::steady_clock::now()});
}

void ProgressLine::finished(const qbx::PortSession& session)
{
    const std::lock_guard lock(m_mutex);
    std::erase_if(m_running, [&session](const Running& r) { return r.session == &session; });
    ++m_done;
}

std::unique_lock<std::mutex> ProgressLine::clearedForOutput()
{
    std::unique_lock lock(m_terminal);
    if (m_drawn)
        writeError("\r\033[K");
    m_drawn = false;
    return lock;
}

// The line is made while the sessions are held and written after: a terminal that takes its
// time (or is stopped with Ctrl+S) never holds up a transmission.
void ProgressLine::run()
{
    std::unique_lock lock(m_mutex);
    if (m_wake.wait_for(lock, kFirstShown, [this] { return m_stopping; }))
        return;
    do {
        const QString line = text();
        lock.unlock();
        show(line);
        lock.lock();
    } while (!m_wake.wait_for(lock, kRedrawn, [this] { return m_stopping; }));
}

// "tcp:kiosk-01:9100: sending 2.0 MB of 24.0 MB, 3.0 MB/s", after "12 of 200 ports done; " for
// several ports.
QString ProgressLine::text() const
{
    QString line = m_ports > 1 ? QStringLiteral("%1 of %2 ports done").arg(m_done).arg(m_ports) : QString();
    if (m_running.empty())
        return line;
    const Running& first = m_running.front();
    const TransmissionStatus status = first.session->status();
    QString port = printable(first.uri) + QStringLiteral(": ") + stageName(status.stage);
    if (status.stage == TransmissionStage::Sending || status.stage == TransmissionStage::Finishing) {
        port += QLatin1Char(' ') + sizeText(status.done);
        if (status.total > 0)
            port += QStringLiteral(" of ") + sizeText(status.total);
    }
    if (status.stage == TransmissionStage::Sending) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - first.since).count();
        if (seconds > 0)
            port += QStringLiteral(", %1/s").arg(sizeText(qint64(double(status.done) / seconds)));
    }
    return line.isEmpty() ? port : line + QStringLiteral("; ") + port;
}

void ProgressLine::show(const QString& text)
{
    const std::lock_guard lock(m_terminal);
    writeError("\r\033[K" + text.left(terminalColumns()).toUtf8());
    m_drawn = true;
}

} // namespace qbx::cli
