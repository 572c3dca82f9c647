// The command line's parser sees whatever a script passes it. Input: arguments separated by NUL.
#include "cli/parser.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArrayList arguments;
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    for (const char* p = begin; p <= end; ++p) {
        if (p == end || *p == '\0') {
            arguments << QByteArray(begin, p - begin);
            begin = p + 1;
        }
    }
    (void)qbx::cli::parseArguments(arguments);
    return 0;
}
