#pragma once

#include <QtGlobal>

#include <optional>

#include <termios.h>

namespace qbx {

// The terminal's code for a rate the panel offers; nullopt for another rate, which the driver
// sets by number and which is then not compared when the line's settings are read back.
std::optional<speed_t> lineSpeed(qint32 baud);

// The baud rate of a terminal's speed code, for the rates the panel offers.
std::optional<qint32> baudOfLineSpeed(speed_t speed);

} // namespace qbx
