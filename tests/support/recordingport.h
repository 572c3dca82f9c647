#pragma once

#include "port/printerport.h"

#include <string>
#include <vector>

namespace qbx::test {

// A port that keeps every call, in order, for tests of what the encoding and the window send.
class RecordingPort : public StreamPort
{
public:
    struct Call
    {
        enum Kind
        {
            Open,
            Write,
            Close,
            Load,
            Save,
            Abort
        };
        Kind kind;
        std::string data; // the bytes of a write, the key of a load or save

        bool operator==(const Call&) const = default;
    };

    void OpenPort() override { calls.push_back({Call::Open, {}}); }
    void WritePort(std::string_view bytes) override { calls.push_back({Call::Write, std::string(bytes)}); }
    void ClosePort() override { calls.push_back({Call::Close, {}}); }
    void LoadPortSettings(const std::string& key) override { calls.push_back({Call::Load, key}); }
    void SavePortSettings(const std::string& key) override { calls.push_back({Call::Save, key}); }
    bool PortFailed() const override { return false; }
    void AbortPort(const std::string& reason) override { calls.push_back({Call::Abort, reason}); }

    // The writes of a transmission, in order.
    std::vector<std::string> writes() const
    {
        std::vector<std::string> result;
        for (const Call& c : calls)
            if (c.kind == Call::Write)
                result.push_back(c.data);
        return result;
    }

    std::vector<Call> calls;
};

} // namespace qbx::test
