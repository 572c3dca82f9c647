#include "port/serialmodule.h"
#include "port/serialtransport.h"

namespace {

const bool kSerialLinked = (qbx::useLinkedSerialTransport(&qbx::newSerialTransport), true);

} // namespace
