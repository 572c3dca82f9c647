#include "console.h"

#include "textforms.h"

#include <QJsonDocument>

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

int Console::usage(const QString& command, const QString& message)
{
    m_err << who(command).toStdString() << ": " << message.toStdString() << '\n'
          << "Try '" << who(command).toStdString() << " --help'.\n";
    return UsageFailed;
}

int Console::fail(const QString& command, const QString& message)
{
    m_err << who(command).toStdString() << ": " << message.toStdString() << '\n';
    return Failed;
}

QString printable(const QString& text)
{
    return QString::fromStdString(escapedText(text.toStdString()));
}

QString oneLine(const QString& message)
{
    QString joined = message.trimmed();
    joined.replace(QStringLiteral("\n\n"), QStringLiteral(" "));
    return printable(joined);
}

} // namespace qbx::cli
