#include "cli/home.h"

#include <QtGlobal>

#include <pwd.h>
#include <unistd.h>

namespace qbx::cli {

void settleHome()
{
    if (!qEnvironmentVariableIsEmpty("HOME"))
        return;
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir && *account->pw_dir)
        qputenv("HOME", account->pw_dir);
}

QString homeProblem()
{
    if (!qEnvironmentVariableIsEmpty("HOME"))
        return {};
    return QStringLiteral("HOME is not set and this account has no home folder in the password database, so "
                          "there is no saved port; set HOME, or give --port");
}

} // namespace qbx::cli
