#pragma once

#include <string>
#include <string_view>

namespace qbx {

// The five operations through which all printer traffic and the saved port choice pass.
//
// A transmission is OpenPort, one or more WritePort, ClosePort, all inside one user action.
// WritePort takes counted bytes: NUL and ESC inside them are data. Callers test no result and
// catch nothing: an implementation reports its own failures and returns normally.
class PrinterPort
{
public:
    virtual ~PrinterPort() = default;

    virtual void OpenPort() = 0;
    virtual void WritePort(std::string_view bytes) = 0;
    virtual void ClosePort() = 0;
    virtual void LoadPortSettings(const std::string& key) = 0;
    virtual void SavePortSettings(const std::string& key) = 0;
};

} // namespace qbx
