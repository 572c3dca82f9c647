#pragma once

#include "windowlayout.h"

#include <QFont>

namespace qbx::ui {

// The window's fonts: "MS Sans Serif" first, then Liberation Sans, which has the same metrics
// as the usual replacement of that family and is what a Linux desktop normally has.
QFont windowFont(FontRole role);

} // namespace qbx::ui
