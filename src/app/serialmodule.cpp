// The serial transport, built as a module that the program loads the first time it drives a
// serial line, so that no other command loads Qt's serial port library.
#include "port/serialtransport.h"

extern "C" __attribute__((visibility("default"))) qbx::Transport*
qbx7config_serial_transport(const qbx::PortConfig& config, const qbx::PortTimeouts& timeouts)
{
    return qbx::newSerialTransport(config, timeouts);
}
