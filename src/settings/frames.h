#pragma once

#include <string>
#include <string_view>

namespace qbx {

class PrinterPort;

// The control characters of the printer's frames.
namespace control {
inline constexpr char ESC = '\x1B';
inline constexpr char GS = '\x1D';
inline constexpr char LF = '\x0A';
inline constexpr char NUL = '\x00';
} // namespace control

// Switch commands and the self-test command, byte for byte. Every frame ends in LF, NUL; the NUL
// is data and goes out with the frame.
std::string setFrame(std::string_view switchNo, std::string_view mask);
std::string clearFrame(std::string_view switchNo, std::string_view mask);
const std::string& storeFrame();
const std::string& selfTestFrame();

inline constexpr std::size_t kSwitchFrameSize = 11;

// Frame one switch command and hand it, whole, to one WritePort. The texts go into the frame
// unchanged; the caller has the port open.
void SetSwitchBits(PrinterPort& port, std::string_view switchNo, std::string_view mask);
void ClearSwitchBits(PrinterPort& port, std::string_view switchNo, std::string_view mask);

// "Print Self Test Page": open, the 4-byte self-test frame, close.
void PrintSelfTestPage(PrinterPort& port);

} // namespace qbx
