#pragma once

#include <QString>

namespace qbx {

// What went wrong and what the user can do about it: the one form in which the transports, the
// session, the port check and the command line hand a failure on to whoever shows it. Kept apart,
// the two halves let the port check show the advice on a line of its own and let a message grow
// (a job that was cancelled, a second reason) without anyone cutting sentences apart again.
//
// Words for users: whatever the command line may print (these messages, findings, outcomes) is
// written with QStringLiteral, not tr(). The window and the command line show the same messages,
// and scripts and tests read the command line's output byte for byte, so a translation must not
// change it. tr() is for what only the window shows: its labels, titles, buttons and tool tips.
struct Problem
{
    // What happened, naming what it happened to (the port, the file, the job), in whole
    // sentences.
    QString what;
    // What the user can do about it, with the exact command where there is one; empty when
    // nothing is to be done.
    QString todo;

    bool isEmpty() const { return what.isEmpty() && todo.isEmpty(); }
    // The message as a user reads it: what happened, then what to do.
    QString text() const;
};

// The texts one after the other, a space between them, either of them possibly empty.
QString joinSentences(const QString& first, const QString& second);

} // namespace qbx
