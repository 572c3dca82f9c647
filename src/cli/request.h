#pragma once

#include "portconfig.h"
#include "store.h"

#include <QString>

#include <variant>
#include <vector>

namespace qbx::cli {

enum class Command
{
    Help,
    Version,
    Settings,
    Store,
    SelfTest,
    Send,
    Decode,
    ShowPort,
    SetPort
};

// What one run of the command line is asked to do, fully checked: every value in it is valid,
// so performing it cannot fail for a reason the user typed (a file may still be unreadable).
struct Request
{
    Command command = Command::Help;
    QString helpTopic;                      // Help: a command's name, or empty for the program
    std::vector<TeskKit::PortConfig> ports; // empty: the saved port choice
    ControlSnapshot snapshot;               // Store
    bool dryRun = false;                    // Store
    QString file;                           // Send, Decode
    TeskKit::PortConfig newPort;            // SetPort
};

struct UsageError
{
    QString command; // the sub-command whose help explains the mistake; empty for the program
    QString message;
};

} // namespace qbx::cli
