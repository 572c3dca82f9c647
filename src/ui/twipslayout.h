#pragma once

#include <QLayout>
#include <QList>
#include <QPointer>
#include <QRect>

namespace qbx::ui {

inline constexpr int kTwipsPerPixel = 15;

// A rectangle in twips, as the window's layout tables give it.
struct TwipsRect
{
    int left;
    int top;
    int width;
    int height;

    QRect toPixels() const;
};

// Places every widget of a tab page at a fixed rectangle given relative to the tab widget's
// top-left corner (its tab strip included). The page's own offset inside the tab widget is
// only known once the tab widget has laid itself out, so the layout converts on every pass
// through the real offset rather than a guessed constant. Hidden widgets are placed as well,
// so they appear in the right place when shown.
class TwipsLayout final : public QLayout
{
public:
    // `reference` is the widget whose corner the rectangles are measured from.
    TwipsLayout(QWidget* page, QWidget* reference);
    ~TwipsLayout() override;

    void addWidget(QWidget* widget, TwipsRect twips);

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Placed
    {
        QLayoutItem* item;
        QRect pixels; // relative to the reference widget
    };

    QPointer<QWidget> m_reference;
    QList<Placed> m_items;
};

} // namespace qbx::ui
