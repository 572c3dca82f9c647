#pragma once

#include "port/portconfig.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

namespace qbx {

class Transport;
struct PortTimeouts;

// Every kind of port described once, as plain data: its URI and its saved settings are read and
// written from this, the help's PORTS lines and the panel's limits are made from it, and a test
// holds the manual page's PORTS section against it; a transmission opens the kind's transport
// through it. A new kind adds its PortConfig::Kind and members (portconfig.h), its PortKind here
// (portkinds.cpp), its transport (a new file, listed in CMakeLists.txt) and its entry in the manual
// page. The panel then makes its page from the fields, and the port check opens its transport; a
// kind that needs more gets a page (portpages.cpp) or a check (portdoctor.cpp) of its own.

// One parameter of a kind of port.
struct PortField
{
    enum class Type
    {
        Path,      // a file or device: any text without NUL, up to `highest` characters
        Host,      // a host name or an IP address, up to `highest` characters
        QueueName, // a print queue's name as CUPS takes it, up to `highest` characters
        Number,    // a whole number from `lowest` to `highest`
        Choice,    // one of `choices`; the member holds its index
    };
    // Where the URI writes it.
    enum class Place
    {
        Address,   // right after "KIND:"; every kind's first field
        AfterHost, // after the address and a ':', and optional: "tcp:HOST[:PORT]"
        Parameter, // NAME=VALUE after a '?', joined by '&', each optional
    };
    // The member of PortConfig that holds the value: a text as a QString, a number or a choice as a
    // whole number.
    struct Member
    {
        QVariant (*get)(const PortConfig&) = nullptr;
        void (*set)(PortConfig&, const QVariant&) = nullptr;
    };

    const char* name = nullptr;        // the URI's parameter and the key in the kind's settings group
    const char* placeholder = nullptr; // the value in the URI's forms; nullptr: the range or the choices
    Type type = Type::Path;
    Place place = Place::Address;
    Member member{};
    qint64 lowest = 0;
    qint64 highest = 0;
    QStringList choices{};
    QList<qint64> offered{}; // the numbers the panel lists (others stay possible)
    // Why an empty text names no port.
    const char* missing = nullptr;
    // Why a value is refused: {value} stands for it (a text cut to 80 characters), {lowest} and
    // {highest} for the limits. Without it a text is refused as missing, and a number or a choice
    // as no valid value for the field.
    const char* refusal = nullptr;
    // How a page made from the fields shows it, in the panel's words (to translate in its
    // context): its widget's object name, its label with the access key, the name screen readers
    // say, and the hint an empty text shows.
    const char* widgetName = nullptr;
    const char* label = nullptr;
    const char* accessibleName = nullptr;
    const char* hint = nullptr;
};

struct PortKind
{
    PortConfig::Kind kind = PortConfig::Kind::File;
    // The URI's scheme, the saved kind and its settings group: "tcp".
    const char* name = nullptr;
    // Its line under PORTS in the help; {FIELD} stands for that field's default.
    const char* summary = nullptr;
    // The port in messages, %1 its address; nullptr: the address alone.
    const char* shownAs = nullptr;
    // Its name in the panel's list (to translate in the panel's context).
    const char* label = nullptr;
    // Its transport, for one transmission.
    std::unique_ptr<Transport> (*transport)(const PortConfig&, const PortTimeouts&) = nullptr;
    // The address first, then in the order the URI writes them.
    std::vector<PortField> fields{};
};

// In the order the help lists them.
const std::vector<PortKind>& portKinds();
// nullptr for a kind or a name that no description has.
const PortKind* describedKind(PortConfig::Kind kind);
const PortKind* kindNamed(const QString& name);
// The field of that name; the program stops if the kind has none, which is a programming error.
const PortField& portField(PortConfig::Kind kind, const char* name);

enum class UriForm
{
    Address,     // "tcp:HOST[:PORT]", "serial:DEVICE"
    Abbreviated, // the first parameter alone: "serial:DEVICE[?baud=N&...]"
    Full,        // every parameter with its values: "serial:DEVICE[?baud=N&data=5..8&...]"
};
QString uriForm(const PortKind& kind, UriForm form);
// Its summary with the defaults filled in: "a network printer; PORT is 9100 unless given".
QString portSummary(const PortKind& kind);

// The value as the URI and the settings write it.
QString fieldText(const PortField& field, const PortConfig& config);

// What makes two ports one, whatever their spelling: a file or device by the file it is (a link and
// its target, two paths to one FIFO), a host in lower case or its address in one form, a print
// queue's name in lower case (CUPS takes it so), the other fields as they are.
QString portIdentity(const PortConfig& config);

// Which printer a port reaches, for the record of what it holds: its address fields as
// portIdentity() reads them, but a file by its path with links resolved (a transmission replaces
// a file, and with it the file's identity), and without a serial line's settings.
QString printerIdentity(const PortConfig& config);
// Puts the text into the field's member; false, with why if wanted, when it is no value of the
// field. A text always is: problem() judges it.
bool readField(const PortField& field, const QString& text, PortConfig& config, QString* why);
// Why the field's value names no port, or an empty string.
QString fieldProblem(const PortField& field, const PortConfig& config);

QString parityName(PortConfig::Parity parity);
QString flowName(PortConfig::Flow flow);

} // namespace qbx
