#pragma once

#include <QString>

namespace TeskKit {

// Where the port component's failure messages go: a message box in the window, standard error
// on the command line, a list in the tests.
class Reporter
{
public:
    virtual ~Reporter() = default;
    virtual void report(const QString& message) = 0;
};

// For callers that read each transmission's outcome instead of its messages.
class SilentReporter final : public Reporter
{
public:
    void report(const QString&) override {}
};

} // namespace TeskKit
