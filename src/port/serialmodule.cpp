#include "port/serialmodule.h"

#include "port/programmodule.h"

#include <string>
#include <utility>

namespace qbx {
namespace {

SerialTransportMaker g_linked = nullptr;

// Opened by the first serial transmission, on whichever thread it runs.
struct LoadedModule
{
    SerialTransportMaker make = nullptr;
    std::string problem;
};

const LoadedModule& loadedModule()
{
    static const LoadedModule loaded = [] {
        LoadedModule m;
        if (void* module = openProgramModule(QBX_SERIAL_MODULE_NAME, &m.problem)) {
            m.make =
                reinterpret_cast<SerialTransportMaker>(moduleEntry(module, "qbx7config_serial_transport"));
            if (!m.make)
                m.problem = QBX_SERIAL_MODULE_NAME " is not the serial module of this program";
        }
        return m;
    }();
    return loaded;
}

// Stands in for the serial line when its module cannot be loaded: fails at the open, before any
// byte could go anywhere.
class MissingSerialTransport final : public Transport
{
public:
    MissingSerialTransport(QString device, const std::string& why)
        : m_device(std::move(device))
        , m_why(QString::fromStdString(why))
    {}

    bool open() override
    {
        return fail(TransmissionStage::Connecting,
                    {QStringLiteral("Cannot open the serial line %1: the program's serial support cannot "
                                    "be loaded (%2).")
                         .arg(m_device, m_why),
                     QStringLiteral("Reinstall the program.")});
    }
    bool write(QByteArrayView) override { return false; }
    bool finish() override { return false; }
    void abort() override {}

private:
    QString m_device;
    QString m_why;
};

} // namespace

void useLinkedSerialTransport(SerialTransportMaker make)
{
    g_linked = make;
}

std::unique_ptr<Transport> makeSerialTransport(const PortConfig& config, const PortTimeouts& timeouts)
{
    if (g_linked)
        return std::unique_ptr<Transport>(g_linked(config, timeouts));
    const LoadedModule& module = loadedModule();
    if (!module.make)
        return std::make_unique<MissingSerialTransport>(config.serialDevice, module.problem);
    return std::unique_ptr<Transport>(module.make(config, timeouts));
}

} // namespace qbx
