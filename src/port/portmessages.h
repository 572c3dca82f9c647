#pragma once

#include "port/portconfig.h"

#include <QString>

namespace TeskKit {

// The reason an operating-system call on a device node, FIFO or serial line failed, with what
// the user can do about it where the cause is known on Linux.
QString deviceFailure(const QString& device, int errorNumber);

// A port whose parameters name nothing that can be reached (PortConfig::problem()), with where
// to choose another.
QString unusablePortMessage(const PortConfig& config);

// Appended when a transmission broke off after some bytes had gone out.
QString partialTransmissionAdvice();

} // namespace TeskKit
