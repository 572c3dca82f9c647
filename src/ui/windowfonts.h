#pragma once

#include <QFont>

namespace qbx::ui {

enum class FontRole
{
    Default,     // 8.25 pt regular: lists, text boxes, tab captions, the instruction text
    SmallBold,   // 8.25 pt bold: the version line, the check box
    Heading,     // 9.75 pt bold: setting labels, buttons
    Title,       // 13.5 pt bold
    TitleNotice, // 13.5 pt bold, underlined
};

// The window's fonts: "MS Sans Serif" first, then Liberation Sans, which has the same metrics
// as the usual replacement of that family and is installed with the program. The port panel takes
// them too, wherever it is shown, so that its fields fit the place the window gives it whatever
// the desktop's own font is.
QFont windowFont(FontRole role);

} // namespace qbx::ui
