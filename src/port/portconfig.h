#pragma once

#include <QString>

#include <optional>

class QSettings;

namespace qbx {

// The user's choice of port and its parameters: what the panel edits, what is saved under the
// settings key, and what the command line names as a URI. Each kind's URI, settings and limits
// are described in port/portkinds.h.
struct PortConfig
{
    enum class Kind
    {
        File,
        Tcp,
        Queue,
        Serial
    };
    static constexpr std::size_t kKindCount = 4;
    // The values of Parity and Flow index their names in the URI and the settings.
    enum class Parity
    {
        None,
        Even,
        Odd
    };
    enum class Flow
    {
        None,
        Hardware,
        Software
    };

    static constexpr quint16 kRawPrintingPort = 9100;

    Kind kind = Kind::File;
    QString filePath;

    QString host;
    quint16 tcpPort = kRawPrintingPort;

    QString queueName;

    QString serialDevice;
    qint32 baudRate = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;
    Flow flow = Flow::None;

    // The safe default: a file in the home folder. Never a print queue, where raw printer
    // commands would come out of an office printer as garbage.
    static PortConfig defaults();

    QString toUri() const;
    // nullopt, with a reason in *error, when the text names no port this program can reach.
    static std::optional<PortConfig> fromUri(const QString& uri, QString* error = nullptr);

    // Why the parameters of the chosen kind cannot name a port, or an empty string when they can.
    QString problem() const;

    // The port as the user knows it, for messages: "kiosk-01:9100", "/dev/ttyUSB0".
    QString displayName() const;

    // Every kind's parameters are kept, and the kind in force. Missing, damaged or out-of-range
    // stored values give the defaults, never a failure.
    static PortConfig load(QSettings& settings);
    void save(QSettings& settings) const;

    // Puts another configuration's kind in force with its parameters, keeping this one's
    // parameters of the other kinds (what the user typed for them before).
    void takeKindFrom(const PortConfig& chosen);

    bool operator==(const PortConfig&) const = default;
};

// "9600 baud, 8 data bits, parity none, 1 stop bit, flow control none": a serial line's settings
// as the messages name them.
QString lineSettingsText(const PortConfig& config);

} // namespace qbx
