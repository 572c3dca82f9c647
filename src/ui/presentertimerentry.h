#pragma once

#include <QObject>

class QComboBox;

namespace qbx::ui {

class EntryBox;

// The custom presenter delay: the box under the "Presenter Timer" list, shown only while the
// list shows "Custom", and normalised to half seconds when the focus leaves it.
class PresenterTimerEntry final : public QObject
{
    Q_OBJECT

public:
    PresenterTimerEntry(QComboBox* delay, EntryBox* custom, QObject* parent = nullptr);

    // The list's click: also run when the program sets the selection.
    void selectionMade();

private:
    void normalise();

    QComboBox* m_delay;
    EntryBox* m_custom;
};

} // namespace qbx::ui
