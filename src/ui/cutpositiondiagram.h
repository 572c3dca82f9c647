#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace qbx::ui {

// Line1: the cut line over the diagram, one pixel high across its full width. Its position is
// kept in the diagram's units exactly as set; the pixel row is only how it is drawn.
class DiagramLine final : public QWidget
{
    Q_OBJECT

public:
    explicit DiagramLine(QWidget* diagram);

    float position() const { return m_position; }
    void setPosition(float y);
    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    float m_position = 0.0f;
    QColor m_colour;
};

// Picture1: the ticket diagram at its natural size, in user units running 0..5 across and
// 0..55 down. It reports the pointer's position in those units; after a press Qt keeps sending
// it the pointer's moves and the release, also outside it. From the keyboard, Up and Down ask
// for a step of a quarter millimetre, Page Up and Page Down of one millimetre. Screen readers
// know it as a slider whose value is the cut offset.
class CutPositionDiagram final : public QWidget
{
    Q_OBJECT

public:
    static constexpr float kUnitsAcross = 5.0f;
    static constexpr float kUnitsDown = 55.0f;

    explicit CutPositionDiagram(QWidget* parent = nullptr);

    DiagramLine* line() const { return m_line; }
    QSize sizeHint() const override;

    // A pixel row in user units and back.
    float unitsFromPixels(qreal pixelY) const;
    int pixelsFromUnits(float y) const;

    // The cut offset in millimetres that the line shows, as screen readers are told it.
    float offset() const { return m_offset; }
    void setOffset(float millimetres);
    QString offsetText() const;

Q_SIGNALS:
    void pressed(float y);
    void moved(float y);
    void released(float y);
    void stepRequested(float millimetres);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPixmap m_bitmap;
    DiagramLine* m_line;
    float m_offset = 0.0f;
};

} // namespace qbx::ui
