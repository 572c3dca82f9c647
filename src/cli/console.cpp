#include "cli/console.h"

#include "port/nativepath.h"

#include "settings/textforms.h"

#include <QJsonDocument>

#include <iostream>

#include <unistd.h>

namespace qbx::cli {
namespace {

QString who(const QString& command)
{
    return command.isEmpty() ? QStringLiteral("qbx7config") : QStringLiteral("qbx7config ") + command;
}

} // namespace

void Console::document(const QJsonObject& object)
{
    m_out << QJsonDocument(object).toJson(QJsonDocument::Indented).toStdString();
}

bool Console::errorsOnTerminal() const
{
    return &m_err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
}

int Console::usage(const QString& command, const QString& message)
{
    if (m_json)
        document({{QStringLiteral("command"), command.isEmpty() ? QJsonValue() : QJsonValue(command)},
                  {QStringLiteral("usageError"), message},
                  {QStringLiteral("exitStatus"), UsageFailed}});
    m_err << who(command).toStdString() << ": " << message.toStdString() << '\n'
          << "Try '" << who(command).toStdString() << " --help'.\n";
    return UsageFailed;
}

int Console::fail(const QString& command, const QString& message)
{
    m_err << who(command).toStdString() << ": " << message.toStdString() << '\n';
    return Failed;
}

void Console::warn(const QString& command, const QString& message)
{
    m_err << who(command).toStdString() << ": warning: " << message.toStdString() << '\n';
}

QString printable(const QString& text)
{
    // A file name's bytes that are no UTF-8 show as \xHH, as control characters do.
    QString shown;
    qsizetype start = 0;
    const auto showUpTo = [&](qsizetype end) {
        shown += QString::fromStdString(escapedText(text.mid(start, end - start).toStdString()));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const std::optional<unsigned char> byte = qbx::rawByte(text[i])) {
            showUpTo(i);
            shown += QStringLiteral("\\x") + QString::number(*byte, 16).toUpper();
            start = i + 1;
        }
    }
    showUpTo(text.size());
    return shown;
}

QString oneLine(const QString& message)
{
    QString joined = message.trimmed();
    joined.replace(QStringLiteral("\n\n"), QStringLiteral(" "));
    return printable(joined);
}

} // namespace qbx::cli
