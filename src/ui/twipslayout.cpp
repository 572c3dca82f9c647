#include "ui/twipslayout.h"

#include <QWidget>

namespace qbx::ui {

QRect TwipsRect::toPixels() const
{
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
}

TwipsLayout::TwipsLayout(QWidget* page, QWidget* reference)
    : QLayout(page)
    , m_reference(reference)
{
    setContentsMargins(0, 0, 0, 0);
}

TwipsLayout::~TwipsLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void TwipsLayout::addWidget(QWidget* widget, TwipsRect twips)
{
    addChildWidget(widget);
    addItem(new QWidgetItem(widget));
    m_items.last().pixels = twips.toPixels();
    invalidate();
}

void TwipsLayout::addItem(QLayoutItem* item)
{
    // Items without a rectangle of their own sit at the reference corner.
    m_items.append({item, QRect(QPoint(), item->sizeHint())});
}

QLayoutItem* TwipsLayout::itemAt(int index) const
{
    return index >= 0 && index < m_items.size() ? m_items.at(index).item : nullptr;
}

QLayoutItem* TwipsLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index).item : nullptr;
}

int TwipsLayout::count() const
{
    return int(m_items.size());
}

QSize TwipsLayout::sizeHint() const
{
    return minimumSize();
}

QSize TwipsLayout::minimumSize() const
{
    // The tab widget's size is fixed by the window; the page claims nothing of its own.
    return {0, 0};
}

void TwipsLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    QWidget* page = parentWidget();
    if (!page || !m_reference || !m_reference->isAncestorOf(page))
        return;
    const QPoint offset = page->mapTo(m_reference, QPoint(0, 0));
    for (const Placed& placed : std::as_const(m_items)) {
        // Set on the widget directly: an item skips hidden widgets.
        if (QWidget* widget = placed.item->widget())
            widget->setGeometry(placed.pixels.translated(-offset));
        else
            placed.item->setGeometry(placed.pixels.translated(-offset));
    }
}

} // namespace qbx::ui
