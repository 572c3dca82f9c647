#include "port/linespeeds.h"

#include <utility>

namespace qbx {
namespace {

const std::pair<qint32, speed_t> kSpeedCodes[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

} // namespace

std::optional<speed_t> lineSpeed(qint32 baud)
{
    for (const auto& [rate, code] : kSpeedCodes)
        if (rate == baud)
            return code;
    return std::nullopt;
}

std::optional<qint32> baudOfLineSpeed(speed_t speed)
{
    for (const auto& [rate, code] : kSpeedCodes)
        if (code == speed)
            return rate;
    return std::nullopt;
}

} // namespace qbx
