#include "settings/frames.h"

#include "port/printerport.h"

namespace qbx {
namespace {

using namespace control;

// Set and clear frame, 11 bytes:
//
//   offset  size  content
//   0       1     0x1B ESC
//   1       1     0x1D GS
//   2       1     0x23 '#'
//   3       1     operation: 0x2B '+' sets bits, 0x2D '-' clears bits
//   4       1     switch number character ('1'..'7', 'A')
//   5       4     mask, four hexadecimal digits, most significant first
//   9       1     0x0A LF
//   10      1     0x00 NUL
std::string switchFrame(char operation, std::string_view switchNo, std::string_view mask)
{
    std::string frame{ESC, GS, '#', operation};
    frame += switchNo;
    frame += mask;
    frame += LF;
    frame += NUL;
    return frame;
}

} // namespace

std::string setFrame(std::string_view switchNo, std::string_view mask)
{
    return switchFrame('+', switchNo, mask);
}

std::string clearFrame(std::string_view switchNo, std::string_view mask)
{
    return switchFrame('-', switchNo, mask);
}

// Store frame, 11 bytes: the switch frame's shape with 'W' as the operation and "00000" in
// place of switch number and mask.
//
//   1B 1D 23 57 30 30 30 30 30 0A 00
const std::string& storeFrame()
{
    static const std::string frame = switchFrame('W', "0", "0000");
    return frame;
}

// Self-test frame, 4 bytes:
//
//   offset  size  content
//   0       1     0x1B ESC
//   1       1     0x3F '?'
//   2       1     0x0A LF
//   3       1     0x00 NUL
const std::string& selfTestFrame()
{
    static const std::string frame{ESC, '?', LF, NUL};
    return frame;
}

void SetSwitchBits(PrinterPort& port, std::string_view switchNo, std::string_view mask)
{
    port.WritePort(setFrame(switchNo, mask));
}

void ClearSwitchBits(PrinterPort& port, std::string_view switchNo, std::string_view mask)
{
    port.WritePort(clearFrame(switchNo, mask));
}

void PrintSelfTestPage(PrinterPort& port)
{
    port.OpenPort();
    port.WritePort(selfTestFrame());
    port.ClosePort();
}

} // namespace qbx
