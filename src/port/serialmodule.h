#pragma once

#include "port/portconfig.h"
#include "port/transport.h"

#include <memory>

namespace qbx {

// Serial lines are driven through Qt's serial port library, whose loading would cost every start
// of the command line about a tenth of its time. So the serial transport sits in a module of its
// own, opened the first time a serial line is used. A program that links the transport itself
// (the window, tests) hands it over once, and no module is opened.
using SerialTransportMaker = Transport* (*)(const PortConfig&, const PortTimeouts&);
void useLinkedSerialTransport(SerialTransportMaker make);

// A transport of the serial line; one that fails to open, saying why, when the module is missing.
std::unique_ptr<Transport> makeSerialTransport(const PortConfig& config, const PortTimeouts& timeouts);

} // namespace qbx
