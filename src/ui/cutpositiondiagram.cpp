#include "cutpositiondiagram.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace qbx::ui {

DiagramLine::DiagramLine(QWidget* diagram)
    : QWidget(diagram)
{
    setObjectName(QStringLiteral("Line1"));
    // The line is a picture of the value, never a target: the diagram under it takes the mouse.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void DiagramLine::setPosition(float y)
{
    m_position = y;
    if (auto* diagram = qobject_cast<CutPositionDiagram*>(parentWidget()))
        setGeometry(0, diagram->pixelsFromUnits(y), diagram->width(), 1);
}

void DiagramLine::setColour(const QColor& colour)
{
    m_colour = colour;
    update();
}

void DiagramLine::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), m_colour);
}

CutPositionDiagram::CutPositionDiagram(QWidget* parent)
    : QWidget(parent)
    , m_bitmap(QStringLiteral(":/qbx7config/diagram.bmp"))
    , m_line(new DiagramLine(this))
{
    setObjectName(QStringLiteral("Picture1"));
    setFocusPolicy(Qt::StrongFocus);
}

QSize CutPositionDiagram::sizeHint() const
{
    return m_bitmap.size();
}

float CutPositionDiagram::unitsFromPixels(qreal pixelY) const
{
    return static_cast<float>(pixelY) * kUnitsDown / static_cast<float>(height());
}

int CutPositionDiagram::pixelsFromUnits(float y) const
{
    return static_cast<int>(std::lround(y * static_cast<float>(height()) / kUnitsDown));
}

void CutPositionDiagram::paintEvent(QPaintEvent*)
{
    QPainter(this).drawPixmap(0, 0, m_bitmap);
}

void CutPositionDiagram::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The line was placed in units; its pixel row follows the diagram's real height.
    m_line->setPosition(m_line->position());
}

void CutPositionDiagram::mousePressEvent(QMouseEvent* event)
{
    Q_EMIT pressed(unitsFromPixels(event->position().y()));
}

void CutPositionDiagram::mouseMoveEvent(QMouseEvent* event)
{
    Q_EMIT moved(unitsFromPixels(event->position().y()));
}

void CutPositionDiagram::mouseReleaseEvent(QMouseEvent* event)
{
    Q_EMIT released(unitsFromPixels(event->position().y()));
}

} // namespace qbx::ui
