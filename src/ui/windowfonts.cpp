#include "ui/windowfonts.h"

#include <QStringList>

namespace qbx::ui {

QFont windowFont(FontRole role)
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    switch (role) {
    case FontRole::Default:
        break;
    case FontRole::SmallBold:
        font.setBold(true);
        break;
    case FontRole::Heading:
        font.setPointSizeF(9.75);
        font.setBold(true);
        break;
    case FontRole::Title:
        font.setPointSizeF(13.5);
        font.setBold(true);
        break;
    case FontRole::TitleNotice:
        font.setPointSizeF(13.5);
        font.setBold(true);
        font.setUnderline(true);
        break;
    }
    return font;
}

} // namespace qbx::ui
