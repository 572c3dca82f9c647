#pragma once

#include "panel/dialogs.h"

namespace qbx::test {

// Answers the program's dialogs while it lives, as a user would, and keeps its messages.
struct DialogAnswers : Dialogs::Answers
{
    DialogAnswers() { Dialogs::answerWith(this); }
    ~DialogAnswers() { Dialogs::answerWith(nullptr); }
    DialogAnswers(const DialogAnswers&) = delete;
    DialogAnswers& operator=(const DialogAnswers&) = delete;
};

} // namespace qbx::test
