#include "ui/cutpositionadjuster.h"

#include "settings/entrynormalise.h"
#include "settings/leadingnumber.h"
#include "ui/cutpositiondiagram.h"
#include "ui/entrybox.h"

#include <QCheckBox>

namespace qbx::ui {
namespace {

const QColor kActiveLine(255, 0, 0);
const QColor kInactiveLine(128, 128, 128);

} // namespace

CutPositionAdjuster::CutPositionAdjuster(QCheckBox* enable, CutPositionDiagram* diagram, EntryBox* text,
                                         QObject* parent)
    : QObject(parent)
    , m_enable(enable)
    , m_diagram(diagram)
    , m_text(text)
{
    m_diagram->line()->setPosition(kOffsetOrigin);
    applyEnabled();
    connect(m_enable, &QCheckBox::clicked, this, &CutPositionAdjuster::applyEnabled);
    connect(m_diagram, &CutPositionDiagram::pressed, this, &CutPositionAdjuster::press);
    connect(m_diagram, &CutPositionDiagram::moved, this, &CutPositionAdjuster::move);
    connect(m_diagram, &CutPositionDiagram::released, this, &CutPositionAdjuster::release);
    connect(m_diagram, &CutPositionDiagram::stepRequested, this, &CutPositionAdjuster::step);
    connect(m_text, &EntryBox::leaving, this, &CutPositionAdjuster::validateText);
}

void CutPositionAdjuster::adjust(float millimetres)
{
    const float offset = normaliseCutOffset(millimetres);
    m_text->setText(QString::fromStdString(cutOffsetText(offset)));
    m_diagram->line()->setPosition(offset + kOffsetOrigin);
    m_diagram->setOffset(offset);
}

void CutPositionAdjuster::applyEnabled()
{
    const bool on = m_enable->isChecked();
    m_diagram->setEnabled(on);
    m_text->setEnabled(on);
    m_diagram->line()->setColour(on ? kActiveLine : kInactiveLine);
}

void CutPositionAdjuster::press(float y)
{
    if (!inBand(y))
        return;
    m_diagram->line()->setPosition(y);
    m_dragging = true;
}

void CutPositionAdjuster::move(float y)
{
    // Outside the band the line stays where it was last drawn.
    if (!m_dragging || !inBand(y))
        return;
    m_diagram->line()->setPosition(y);
}

void CutPositionAdjuster::release(float y)
{
    m_dragging = false;
    adjust(y - kOffsetOrigin);
}

// A key on the diagram moves the line from where it stands, then applies it as a release would.
void CutPositionAdjuster::step(float millimetres)
{
    adjust(m_diagram->line()->position() - kOffsetOrigin + millimetres);
}

void CutPositionAdjuster::validateText()
{
    adjust(singlePrecision(leadingNumber(m_text->text().toStdString())));
}

} // namespace qbx::ui
