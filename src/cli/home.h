#pragma once

#include <QString>

namespace qbx::cli {

// Without HOME the configuration folder and the default port would fall back to the
// filesystem's root. Sets HOME to the account's home from the password database when it is
// unset or empty; leaves it empty when the account has none.
void settleHome();

// Why the saved port choice cannot be used, or empty when it can: HOME is still empty.
QString homeProblem();

} // namespace qbx::cli
