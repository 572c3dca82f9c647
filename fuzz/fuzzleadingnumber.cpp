// Any text typed into the window's entries or given on the command line goes through this reading.
#include "settings/leadingnumber.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const double value = qbx::leadingNumber(std::string_view(reinterpret_cast<const char*>(data), size));
    if (std::isnan(value))
        std::abort();
    return 0;
}
