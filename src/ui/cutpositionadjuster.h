#pragma once

#include <QObject>

class QCheckBox;
class QLineEdit;

namespace qbx::ui {

class CutPositionDiagram;
class EntryBox;

// The cut-position adjuster: the check box, the diagram with its line and the millimetre box.
// Both the diagram and the box end in adjust(), which puts the value on the quarter-millimetre
// grid, limits it, writes the text back and moves the line.
class CutPositionAdjuster final : public QObject
{
    Q_OBJECT

public:
    // Offset 0 lies this far down the diagram; the active band is exactly the range of offsets.
    static constexpr float kOffsetOrigin = 20.5f;
    static constexpr float kBandTop = 10.5f;
    static constexpr float kBandBottom = 52.25f;

    CutPositionAdjuster(QCheckBox* enable, CutPositionDiagram* diagram, EntryBox* text,
                        QObject* parent = nullptr);

    // AdjustCutPosition.
    void adjust(float millimetres);

    bool dragging() const { return m_dragging; }

private:
    void applyEnabled();
    void press(float y);
    void move(float y);
    void release(float y);
    void step(float millimetres);
    void validateText();

    static bool inBand(float y) { return y >= kBandTop && y <= kBandBottom; }

    QCheckBox* m_enable;
    CutPositionDiagram* m_diagram;
    EntryBox* m_text;
    bool m_dragging = false;
};

} // namespace qbx::ui
