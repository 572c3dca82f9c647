#include "ui/entrybox.h"

#include <QFocusEvent>

namespace qbx::ui {

void EntryBox::focusOutEvent(QFocusEvent* event)
{
    // A context menu of the box itself takes the focus only for a moment: the user is still
    // editing.
    if (event->reason() != Qt::PopupFocusReason)
        Q_EMIT leaving();
    QLineEdit::focusOutEvent(event);
}

} // namespace qbx::ui
