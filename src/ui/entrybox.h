#pragma once

#include <QLineEdit>

namespace qbx::ui {

// A text box that announces when the keyboard focus leaves it. Qt moves the focus before it
// delivers the mouse press to the control that takes it, so a handler of leaving() has done its
// work before a clicked button acts.
class EntryBox final : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void leaving();

protected:
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace qbx::ui
