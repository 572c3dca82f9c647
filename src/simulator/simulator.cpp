#include "simulator/simulator.h"

#include "port/filetransport.h"
#include "port/linespeeds.h"
#include "port/nativepath.h"
#include "port/portkinds.h"
#include "settings/catalogue.h"
#include "settings/textforms.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace qbx::cli {
namespace {

// What is read at a time: a transmission of any length goes through this much memory.
constexpr qint64 kReadPiece = qint64{1} << 16;
constexpr int kPiecesPerTurn = 16;
// A state file is eight short lines; anything far longer is not one.
constexpr qint64 kMaxStateFileSize = 4096;
// How often a pseudo-terminal without a writer is looked at for a new one.
constexpr int kHangUpPollMs = 50;
// How much of a transmission's print data is shown, as text.
constexpr std::size_t kPrintDataShown = OtherBytes::kHeadSize;

// "127.0.0.1:9100", "[::1]:9100".
// A name as it may go to a terminal or a log: control characters escaped.
QString shown(const QString& path)
{
    return QString::fromStdString(escapedText(path.toStdString()));
}

QString addressText(const sockaddr_storage& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        return QStringLiteral("[%1]:%2").arg(QLatin1String(text)).arg(ntohs(v6.sin6_port));
    }
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
    return QStringLiteral("%1:%2").arg(QLatin1String(text)).arg(ntohs(v4.sin_port));
}

// A listening socket on the address, and the address it got (the port 0 asks for a free one);
// -1 with the system's reason.
int listenOn(const QString& host, quint16 port, QString* bound, QString* reason)
{
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (const int error =
            ::getaddrinfo(host.toLatin1().constData(), QByteArray::number(port).constData(), &hints, &found);
        error != 0) {
        *reason = QString::fromLocal8Bit(::gai_strerror(error));
        return -1;
    }
    const int fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    const bool listening = fd >= 0 && ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                           ::bind(fd, found->ai_addr, found->ai_addrlen) == 0 && ::listen(fd, 16) == 0;
    const int error = errno;
    ::freeaddrinfo(found);
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (!listening || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        *reason = QString::fromLocal8Bit(::strerror(listening ? errno : error));
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *bound = addressText(address);
    return fd;
}

// 127.0.0.0/8, ::1, and 127.x.y.z as an IPv6-mapped address: reachable from this machine only.
bool isLoopback(const QString& host)
{
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (::inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, text.constData(), &v6) != 1)
        return false;
    return IN6_IS_ADDR_LOOPBACK(&v6) || (IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127);
}

QJsonObject wordsObject(const SwitchWords& words)
{
    QJsonObject object;
    for (std::size_t i = 0; i < kSwitchNames.size(); ++i)
        object.insert(QString(QLatin1Char(kSwitchNames[i])), QString::fromStdString(wordText(words[i])));
    return object;
}

QString qText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A setting as the words hold it: key, label, the choice's text and numbers.
QJsonObject readingObject(const SwitchWords& words, std::size_t step)
{
    const Setting& s = catalogue()[step];
    const SettingChoice* choice = readSetting(words, step);
    QJsonObject object{{"key", qText(s.key)},
                       {"label", qText(s.label)},
                       {"value", QString::fromStdString(readingText(choice))},
                       {"entry", choice ? QJsonValue(choice->entry) : QJsonValue()}};
    const bool numbered = s.rule == Rule::CutOffset || (s.rule == Rule::PresenterDelay && choice &&
                                                        std::size_t(choice->entry) == customDelayEntry());
    // In the units the command line takes and 'settings --json' names.
    if (choice && numbered)
        object.insert("number", s.rule == Rule::CutOffset ? choice->number * 0.25 : choice->number * 0.5);
    return object;
}

// An event, and when it happened (UTC, to the millisecond).
QJsonObject event(const char* name, QJsonObject members)
{
    members.insert("event", QLatin1String(name));
    members.insert("time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    return members;
}

} // namespace

// One transmission: its bytes decoded as they arrive, each frame applied at once.
class Simulator::Transmission final : public DecodingSink
{
public:
    Transmission(Simulator& printer, QString from, const QJsonObject& line)
        : m_printer(printer)
        , m_from(std::move(from))
        , m_before(printer.m_present)
    {
        QJsonObject members{{"from", m_from}};
        if (!line.isEmpty())
            members.insert("line", line);
        m_printer.m_sink(event("transmission", members));
    }

    void feed(std::string_view bytes) { m_stream.feed(bytes); }

    // Reports the counts and what the print data began with.
    void finish()
    {
        m_stream.finish();
        m_printer.m_sink(event("end", {{"from", m_from},
                                       {"bytes", double(m_stream.byteCount())},
                                       {"frames", double(m_stream.frameCount())},
                                       {"printData", double(m_stream.otherByteCount())},
                                       {"printText", QString::fromStdString(printDataText(m_printData))},
                                       {"printTextBytes", double(m_printData.size())},
                                       {"ignoredFrames", double(m_ignored)},
                                       {"stored", m_stored},
                                       {"changed", m_before != m_printer.m_present}}));
    }

    // Each change is reported as it happens: a setting's clear and set frames together, once
    // its last one is in, any other frame at once.
    void frame(const DecodedFrame& frame, std::size_t index, const RecognisedSetting* setting) override
    {
        if (!setting || index == setting->firstFrame)
            m_settingBefore = m_printer.m_present;
        switch (frame.kind) {
        case FrameKind::Set:
        case FrameKind::Clear:
            if (!applySwitchFrame(m_printer.m_present, frame))
                ++m_ignored;
            if (!setting || index + 1 == setting->firstFrame + setting->frameCount)
                for (const SwitchChange& change : switchChanges(m_settingBefore, m_printer.m_present))
                    reportChange(change);
            break;
        case FrameKind::Store:
            m_printer.store();
            m_stored = true;
            break;
        case FrameKind::SelfTest:
            printSelfTest();
            break;
        }
    }

    void otherBytes(const OtherBytes& run) override
    {
        m_printData.append(run.head, 0, kPrintDataShown - std::min(kPrintDataShown, m_printData.size()));
    }

private:
    void printSelfTest()
    {
        QJsonArray settings;
        for (std::size_t step = 0; step < kSettingCount; ++step)
            settings.append(readingObject(m_printer.m_kept, step));
        m_printer.m_sink(
            event("selftest", {{"switches", wordsObject(m_printer.m_kept)}, {"settings", settings}}));
    }

    void reportChange(const SwitchChange& change)
    {
        const QJsonObject word{{"switch", QString(QLatin1Char(kSwitchNames[change.index]))},
                               {"before", QString::fromStdString(wordText(change.before))},
                               {"after", QString::fromStdString(wordText(change.after))}};
        if (change.steps.empty())
            m_printer.m_sink(event("change", word));
        for (const std::size_t step : change.steps) {
            QJsonObject members = readingObject(m_printer.m_present, step);
            for (auto it = word.begin(); it != word.end(); ++it)
                members.insert(it.key(), it.value());
            m_printer.m_sink(event("change", members));
        }
    }

    Simulator& m_printer;
    QString m_from;
    SwitchWords m_before;
    SwitchWords m_settingBefore{};
    std::string m_printData; // its first kPrintDataShown bytes
    FrameStream m_stream{*this};
    std::size_t m_ignored = 0;
    bool m_stored = false;
};

// The printer's end of a pseudo-terminal. The writer's end (the slave) is opened and closed by
// whoever sends; while nobody has it open the master reports a hang-up on every look, so it is
// then looked at on a timer instead of being watched.
class Simulator::PseudoTerminal
{
public:
    std::function<void(std::string_view)> received;
    std::function<void()> ended; // the writer closed the device, or paused longer than the gap

    bool open(int idleGapMs, QString* why)
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0 || ::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0) {
            *why = QStringLiteral("cannot make a pseudo-terminal: %1. Run without --pty, over TCP.")
                       .arg(QString::fromLocal8Bit(::strerror(errno)));
            return false;
        }
        m_path = QString::fromLocal8Bit(::ptsname(m_fd));
        // Raw, so that a writer that does not set the line up itself (cat FILE > DEVICE) still
        // arrives byte for byte.
        termios line{};
        ::tcgetattr(m_fd, &line);
        ::cfmakeraw(&line);
        ::tcsetattr(m_fd, TCSANOW, &line);
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
        m_lookForWriter.setInterval(kHangUpPollMs);
        QObject::connect(&m_lookForWriter, &QTimer::timeout, [this] { lookForWriter(); });
        m_idle.setSingleShot(true);
        m_idle.setInterval(idleGapMs);
        QObject::connect(&m_idle, &QTimer::timeout, [this] { ended(); });
        watch(true);
        return true;
    }

    ~PseudoTerminal()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }

    QString path() const { return m_path; }

    // The line as the writer set it. A pseudo-terminal always carries 8 bits without parity,
    // whatever the writer asks for, so only these three tell a mismatch.
    QJsonObject lineSettings() const
    {
        termios line{};
        if (::tcgetattr(m_fd, &line) != 0)
            return {};
        const std::optional<qint32> baud = baudOfLineSpeed(::cfgetospeed(&line));
        const auto flow = (line.c_cflag & CRTSCTS)               ? PortConfig::Flow::Hardware
                          : (line.c_iflag & (IXON | IXOFF)) != 0 ? PortConfig::Flow::Software
                                                                 : PortConfig::Flow::None;
        return {{"baud", baud ? QJsonValue(*baud) : QJsonValue()},
                {"stopBits", (line.c_cflag & CSTOPB) ? 2 : 1},
                {"flow", flowName(flow)}};
    }

    // While another transmission runs the bytes wait in the terminal's buffer; a writer that
    // fills it waits too.
    void watch(bool on)
    {
        m_watching = on;
        m_notifier->setEnabled(false);
        if (on)
            m_lookForWriter.start();
        else
            m_lookForWriter.stop();
    }

    // Reads what has arrived; true while the writer is still there.
    bool readAvailable()
    {
        char buffer[kReadPiece];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                m_idle.start();
                received(std::string_view(buffer, std::size_t(n)));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN)
                return true;
            // EIO: the last writer closed the device.
            m_idle.stop();
            m_notifier->setEnabled(false);
            if (m_watching)
                m_lookForWriter.start();
            ended();
            return false;
        }
    }

private:
    // A writer may have come, written and gone between two looks: what it left is read even
    // while the terminal reports the hang-up.
    void lookForWriter()
    {
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, 0) < 0)
            return;
        if ((ready.revents & POLLIN) && !readAvailable())
            return;
        if (ready.revents & POLLHUP)
            return;
        m_lookForWriter.stop();
        m_notifier->setEnabled(true);
    }

    int m_fd = -1;
    QString m_path;
    bool m_watching = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_lookForWriter;
    QTimer m_idle;
};

Simulator::Simulator(EventSink sink)
    : m_sink(std::move(sink))
{}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start(const SimulatorSetup& setup, QString* why)
{
    m_setup = setup;
    if (!loadState(why))
        return false;
    QString bound;
    QString reason;
    m_listener = listenOn(setup.host, setup.port, &bound, &reason);
    if (m_listener < 0) {
        *why = QStringLiteral("cannot listen on %1:%2: %3. Stop the program that uses the port, or choose "
                              "another with --listen HOST:PORT (PORT 0 picks a free one).")
                   .arg(setup.host)
                   .arg(setup.port)
                   .arg(reason);
        return false;
    }
    m_tcpUri = QStringLiteral("tcp:") + bound;
    // One printer, one transmission: the next client waits in the listen queue.
    m_accepting = std::make_unique<QSocketNotifier>(m_listener, QSocketNotifier::Read);
    QObject::connect(m_accepting.get(), &QSocketNotifier::activated, [this] { takeNextConnection(); });
    m_clientReadable = std::make_unique<QSocketNotifier>(QSocketNotifier::Read);
    QObject::connect(m_clientReadable.get(), &QSocketNotifier::activated, [this] { readClient(); });
    m_clientIdle.setSingleShot(true);
    m_clientIdle.setInterval(setup.clientIdleMs);
    QObject::connect(&m_clientIdle, &QTimer::timeout, [this] {
        m_sink(event("idle",
                     {{"message", QStringLiteral("the client sent nothing for %1 s: the connection is ended")
                                      .arg(m_setup.clientIdleMs / 1000.0)}}));
        end();
    });
    m_sink(event("listening", {{"uri", tcpUri()}}));
    if (!isLoopback(setup.host))
        m_sink(
            event("warning", {{"message", QStringLiteral("%1 can be reached from other machines: anyone who "
                                                         "reaches it can change the simulator's switches. "
                                                         "Use --listen 127.0.0.1:PORT to keep it to this "
                                                         "machine.")
                                              .arg(shown(m_tcpUri))}}));
    if (setup.pty) {
        m_pty = std::make_unique<PseudoTerminal>();
        m_pty->received = [this](std::string_view bytes) {
            if (!m_transmission)
                begin(QStringLiteral("pseudo-terminal"));
            feed(bytes);
        };
        m_pty->ended = [this] {
            if (m_transmission)
                end();
        };
        if (!m_pty->open(setup.ptyIdleGapMs, why))
            return false;
        m_sink(event("listening", {{"uri", ptyUri()}}));
    }
    return true;
}

QString Simulator::tcpUri() const
{
    return m_tcpUri;
}

QString Simulator::ptyUri() const
{
    return m_pty ? QStringLiteral("serial:") + m_pty->path() : QString();
}

bool Simulator::loadState(QString* why)
{
    const QString& path = m_setup.stateFile;
    QString message;
    if (path.isEmpty()) {
        message = QStringLiteral("no --state file: the switches start at 0000, since the printer's factory "
                                 "values are not known, and are kept only while the simulator runs");
    } else if (!QFile::exists(path)) {
        message = QStringLiteral("%1 does not exist yet: the switches start at 0000, since the printer's "
                                 "factory values are not known; a store frame writes it")
                      .arg(shown(path));
    } else {
        // Never waiting for a FIFO's writer, nor reading a device: a state file is a file.
        QFile file;
        const int fd = ::open(encodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat status
        {
        };
        QString problem;
        if (fd < 0 || ::fstat(fd, &status) != 0)
            problem = QString::fromLocal8Bit(std::strerror(errno));
        else if (!S_ISREG(status.st_mode))
            problem = QStringLiteral("it is not a regular file");
        else if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
            problem = file.errorString();
        if (!problem.isEmpty()) {
            *why = QStringLiteral("cannot read the state file %1: %2. Name a file you may read with "
                                  "--state FILE.")
                       .arg(shown(path), problem);
            if (fd >= 0 && !file.isOpen())
                ::close(fd);
            return false;
        }
        const QByteArray text = file.read(kMaxStateFileSize + 1);
        const auto words =
            text.size() > kMaxStateFileSize
                ? std::variant<SwitchWords, std::string>(std::string("longer than a state file is"))
                : parseSwitchWords(text.toStdString());
        if (const auto* problem = std::get_if<std::string>(&words)) {
            *why = QStringLiteral("the state file %1 is damaged (%2). Repair it, or delete it to start "
                                  "from 0000.")
                       .arg(shown(path), QString::fromStdString(*problem));
            return false;
        }
        m_kept = std::get<SwitchWords>(words);
        message = QStringLiteral("the switches start as %1 keeps them").arg(shown(path));
    }
    m_present = m_kept;
    m_sink(event("state", {{"file", path.isEmpty() ? QJsonValue() : QJsonValue(path)},
                           {"switches", wordsObject(m_kept)},
                           {"message", message}}));
    return true;
}

void Simulator::takeNextConnection()
{
    if (m_transmission || m_listener < 0)
        return;
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd =
        ::accept4(m_listener, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return; // nobody waiting, or a client that gave up before it was taken
    m_client = fd;
    begin(addressText(peer));
    m_clientReadable->setSocket(fd);
    m_clientReadable->setEnabled(true);
    if (m_setup.clientIdleMs > 0)
        m_clientIdle.start();
    readClient();
}

// Reads what has arrived; the client's close ends the transmission. A client that sends without
// pause is read in turns, so that a stop request is seen between them.
void Simulator::readClient()
{
    char buffer[kReadPiece];
    for (int piece = 0; m_client >= 0 && m_transmission && piece < kPiecesPerTurn; ++piece) {
        const ssize_t n = ::read(m_client, buffer, sizeof buffer);
        if (n > 0 && m_clientIdle.interval() > 0)
            m_clientIdle.start();
        if (n > 0)
            feed(std::string_view(buffer, std::size_t(n)));
        else if (n < 0 && errno == EINTR)
            continue;
        else if (n < 0 && errno == EAGAIN)
            return;
        else
            end(); // closed, or reset
    }
}

void Simulator::begin(const QString& from)
{
    if (m_accepting)
        m_accepting->setEnabled(false);
    if (m_pty && from != QLatin1String("pseudo-terminal"))
        m_pty->watch(false);
    const bool overPty = m_pty && from == QLatin1String("pseudo-terminal");
    m_transmission =
        std::make_unique<Transmission>(*this, from, overPty ? m_pty->lineSettings() : QJsonObject());
}

void Simulator::feed(std::string_view bytes)
{
    m_transmission->feed(bytes);
}

void Simulator::end()
{
    if (!m_transmission)
        return;
    const auto finished = std::move(m_transmission);
    finished->finish();
    m_clientIdle.stop();
    if (m_client >= 0) {
        m_clientReadable->setEnabled(false);
        ::close(m_client);
        m_client = -1;
    }
    resumeListening();
}

void Simulator::resumeListening()
{
    if (m_listener < 0 || m_stopping)
        return;
    m_accepting->setEnabled(true);
    if (m_pty)
        m_pty->watch(true);
    takeNextConnection();
}

void Simulator::stop()
{
    m_stopping = true;
    if (m_client >= 0)
        readClient();
    else if (m_transmission && m_pty)
        m_pty->readAvailable();
    end();
    m_accepting.reset();
    m_clientReadable.reset();
    if (m_listener >= 0)
        ::close(m_listener);
    m_listener = -1;
    m_pty.reset();
}

void Simulator::store()
{
    m_kept = m_present;
    if (m_setup.stateFile.isEmpty())
        return;
    // Replaced as the file port replaces a file: durably, keeping its owner and mode, and following
    // a link only where the system itself would.
    FileTransport file(m_setup.stateFile);
    const QByteArray text = QByteArray("# QBX740 memory switches kept by 'qbx7config simulate'\n") +
                            QByteArray::fromStdString(switchWordsText(m_kept));
    if (file.open() && file.write(text) && file.finish())
        return;
    m_sink(event("error",
                 {{"message", QStringLiteral("cannot write the state file: %1 The values are kept until "
                                             "the simulator stops.")
                                  .arg(file.failure().problem.text())}}));
}

} // namespace qbx::cli
