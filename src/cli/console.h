#pragma once

#include <QJsonObject>
#include <QString>

#include <ostream>

namespace qbx::cli {

enum ExitStatus
{
    Done = 0,
    Failed = 1, // a port or a file failed
    UsageFailed = 2
};

// Where a command writes: its results on standard output, as text or as one JSON document,
// and its errors on standard error in one form, "qbx7config COMMAND: what went wrong".
class Console
{
public:
    Console(std::ostream& out, std::ostream& err)
        : m_out(out)
        , m_err(err)
    {}

    bool json() const { return m_json; }
    // Whether errors go to a terminal that a person watches: the program's own standard error.
    bool errorsOnTerminal() const;
    void setJson(bool json) { m_json = json; }

    std::ostream& out() { return m_out; }
    void line(const QString& text) { m_out << text.toStdString() << '\n'; }
    void document(const QJsonObject& object);

    // A mistake in what was typed, found before anything was sent, with the help that explains
    // it. Returns UsageFailed.
    int usage(const QString& command, const QString& message);
    // A failure while the command ran. Returns Failed.
    int fail(const QString& command, const QString& message);
    // Something the user should know that changes no outcome: "qbx7config COMMAND: warning: ...".
    void warn(const QString& command, const QString& message);

private:
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_json = false;
};

// A name or message as it may go to a terminal or a log: control characters as \xHH (a line
// break in a file name cannot forge an output line) and a backslash as \\.
QString printable(const QString& text);

// A message of several lines on one line: its paragraphs joined by a blank, then printable.
QString oneLine(const QString& message);

} // namespace qbx::cli
