#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qbx {

// The key under which the window and the command line keep the user's port choice.
inline constexpr std::string_view kPortSettingsKey = "TeskQBX7Conf_Comm";

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

// A port that a streamed transmission can break off: the data-file reader stops reading once the
// port has failed, and ends the transmission as failed when the file does.
class StreamPort : public PrinterPort
{
public:
    // Whether the running transmission has failed (its remaining writes are dropped).
    virtual bool PortFailed() const = 0;
    // Ends the running transmission as failed, for a reason outside the port; in place of
    // ClosePort.
    virtual void AbortPort(const std::string& reason) = 0;
    // How many bytes the running transmission will carry, where the caller knows it in advance,
    // so that its progress can be shown as a whole rather than write by write.
    virtual void ExpectBytes(std::int64_t total) { (void)total; }
    // Lets the port copy up to `length` bytes from a regular file's descriptor itself, without
    // the bytes passing through the caller: the bytes copied (0 at the file's end), -1 once the
    // port has failed, or nullopt where the port cannot (then the caller writes them).
    virtual std::optional<std::int64_t> CopyFromFile(int fd, std::int64_t length)
    {
        (void)fd;
        (void)length;
        return std::nullopt;
    }
};

} // namespace qbx
