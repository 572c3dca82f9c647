// The command line's parser sees whatever a script passes it. Input: arguments separated by NUL.
#include "argumentparser.h"

#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList arguments;
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    for (const char* p = begin; p <= end; ++p) {
        if (p == end || *p == '\0') {
            arguments << QString::fromUtf8(begin, p - begin);
            begin = p + 1;
        }
    }
    (void)qbx::cli::parseArguments(arguments);
    return 0;
}
