#pragma once

#include "port/portconfig.h"
#include "port/problem.h"
#include "port/transport.h"

#include <QList>
#include <QString>

#include <sys/types.h>

namespace qbx {

// One thing the port check found out: how much it matters, and what it is, naming the port, with
// what to do about it (the exact command where there is one).
struct Finding
{
    enum class Level
    {
        Ok,
        Warning,
        Problem
    };
    Level level = Level::Ok;
    Problem problem; // of an Ok finding, only what was found

    static Finding ok(const QString& found) { return {Level::Ok, {found, {}}}; }
    static Finding warning(const QString& found, const QString& advice)
    {
        return {Level::Warning, {found, advice}};
    }
    // A problem that stands in the way of printing.
    static Finding blocker(const Problem& problem) { return {Level::Problem, problem}; }
    static Finding blocker(const QString& found, const QString& advice) { return blocker({found, advice}); }
};
using Findings = QList<Finding>;

// "OK", "WARNING", "PROBLEM": how the command line and the panel mark a finding.
QString levelName(Finding::Level level);
int countFindings(const Findings& findings, Finding::Level level);
bool hasProblem(const Findings& findings);

// Whose rights the permission checks weigh. The running process's own, as a rule; another user's
// makes the checks testable as root, who may write anything.
struct Identity
{
    uid_t uid = 0;
    QList<gid_t> groups; // of this session, the primary group included
    QString userName;    // for the member lists of the group file
    // The running process: the system's own access check has the last word, since access lists
    // (a udev rule's "uaccess") grant rights that the mode does not show.
    bool self = false;

    static Identity ofThisProcess();
};

// Checks whether the port can be used, as far as can be told without printing: nothing is ever
// written to the printer. Blocks for at most about the port's time-outs.
Findings checkPort(const PortConfig& config, const PortTimeouts& timeouts = {},
                   const Identity& who = Identity::ofThisProcess());

// The checks of each kind of port.
Findings checkFileOrDevice(const QString& path, const Identity& who);
// A kind without a check of its own, such as a network printer: its transport opens the port and
// closes it again before a byte has gone.
Findings checkByConnecting(const PortConfig& config, const PortTimeouts& timeouts);
Findings checkPrintQueue(const QString& queue, const PortTimeouts& timeouts);
Findings checkSerialLine(const PortConfig& config, const PortTimeouts& timeouts, const Identity& who);

} // namespace qbx
