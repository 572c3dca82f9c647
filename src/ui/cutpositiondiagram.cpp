#include "ui/cutpositiondiagram.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace qbx::ui {
namespace {

constexpr float kSmallStep = 0.25f;
constexpr float kLargeStep = 1.0f;

// A slider for screen readers: its value is the offset, spoken with its unit ("12.5 mm").
class DiagramAccessible final : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit DiagramAccessible(CutPositionDiagram* diagram)
        : QAccessibleWidget(diagram, QAccessible::Slider)
    {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return diagram()->offsetText();
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return double(diagram()->offset()); }
    // Values come from the user through the diagram, where the adjuster rounds and limits them.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 31.75; }
    QVariant minimumValue() const override { return -10.0; }
    QVariant minimumStepSize() const override { return double(kSmallStep); }

private:
    CutPositionDiagram* diagram() const { return static_cast<CutPositionDiagram*>(widget()); }
};

QAccessibleInterface* diagramAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String("qbx::ui::CutPositionDiagram") && object && object->isWidgetType())
        return new DiagramAccessible(static_cast<CutPositionDiagram*>(object));
    return nullptr;
}

// Before the first diagram exists: an active screen reader asks for its interface, and keeps
// the one it gets, as soon as the diagram is named.
QWidget* withReaderSupport(QWidget* parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(diagramAccessible);
        return true;
    }();
    Q_UNUSED(installed);
    return parent;
}

} // namespace

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
    : QWidget(withReaderSupport(parent))
    , m_bitmap(QStringLiteral(":/qbx7config/diagram.bmp"))
    , m_line(new DiagramLine(this))
{
    setObjectName(QStringLiteral("Picture1"));
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Cut position in millimetres"));
    setAccessibleDescription(
        tr("Up and Down move the cut by a quarter millimetre, Page Up and Page Down by one millimetre."));
}

void CutPositionDiagram::setOffset(float millimetres)
{
    if (millimetres == m_offset)
        return;
    m_offset = millimetres;
    QAccessibleValueChangeEvent event(this, double(millimetres));
    QAccessible::updateAccessibility(&event);
}

QString CutPositionDiagram::offsetText() const
{
    return tr("%1 mm").arg(QString::number(double(m_offset), 'g', 8));
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
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_bitmap);
    // The diagram fills its place to the edge: the focus frame is drawn over the picture's border,
    // in the highlight colour so that it stands out from the black and grey of the ticket.
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

void CutPositionDiagram::keyPressEvent(QKeyEvent* event)
{
    // Up is towards the black mark and beyond it: a smaller offset.
    switch (event->key()) {
    case Qt::Key_Up:
        Q_EMIT stepRequested(-kSmallStep);
        break;
    case Qt::Key_Down:
        Q_EMIT stepRequested(kSmallStep);
        break;
    case Qt::Key_PageUp:
        Q_EMIT stepRequested(-kLargeStep);
        break;
    case Qt::Key_PageDown:
        Q_EMIT stepRequested(kLargeStep);
        break;
    default:
        QWidget::keyPressEvent(event);
    }
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
