#pragma once

#include "settings/switchmemory.h"

#include <QJsonObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace qbx::cli {

// How the virtual printer is reached and where it keeps its switches.
struct SimulatorSetup
{
    QString host = QStringLiteral("127.0.0.1"); // a numeric IPv4 or IPv6 address
    quint16 port = 9100;                        // 0 picks a free one
    bool pty = false;
    QString stateFile; // empty: the kept values live as long as the simulator
    // On the pseudo-terminal, a pause this long ends a transmission whose writer keeps the
    // device open; a writer that closes it ends the transmission at once.
    int ptyIdleGapMs = 2000;
    // A TCP client that sends nothing this long is let go, as printers end idle connections, so
    // that it cannot hold the printer from every other client; 0: never.
    int clientIdleMs = 10000;
};

// A QBX740 that receives on loopback TCP and on a pseudo-terminal, one transmission at a time.
//
// It holds two sets of switch words. The present values change with every set and clear frame
// and last while the simulator runs, across connections, as a real printer keeps them until it
// is switched off; the store frame copies them to the kept values, which the state file holds
// and from which both start. The self-test page shows the kept values.
//
// Everything it has to say goes to the event sink as one JSON object per event ("listening",
// "state", "transmission", "selftest", "change", "end", "error"); the command prints each as
// text or as a JSON line.
class Simulator
{
public:
    using EventSink = std::function<void(const QJsonObject&)>;

    explicit Simulator(EventSink sink);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Loads the state file and starts listening; false with what to do when it cannot.
    bool start(const SimulatorSetup& setup, QString* why);

    // "tcp:127.0.0.1:9100" and "serial:/dev/pts/4": the URIs that reach it.
    QString tcpUri() const;
    QString ptyUri() const;

    // Ends the transmission under way with the bytes that have arrived, reports it, and stops
    // listening.
    void stop();

    SwitchWords keptWords() const { return m_kept; }

private:
    class Transmission;
    class PseudoTerminal;

    bool loadState(QString* why);
    void takeNextConnection();
    void readClient();
    void begin(const QString& from);
    void feed(std::string_view bytes);
    void end();
    void resumeListening();
    void store();

    EventSink m_sink;
    SimulatorSetup m_setup;
    SwitchWords m_present{};
    SwitchWords m_kept{};
    // Plain sockets: Qt's network module would load a dozen libraries into every command.
    int m_listener = -1;
    int m_client = -1; // the connection of the transmission under way
    QString m_tcpUri;
    std::unique_ptr<QSocketNotifier> m_accepting;
    std::unique_ptr<QSocketNotifier> m_clientReadable;
    QTimer m_clientIdle;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<Transmission> m_transmission;
    bool m_stopping = false;
};

} // namespace qbx::cli
