#include "commandline.h"

#include "qbx7config_version.h"
#include "textforms.h"

#include <cstdio>
#include <cstring>

namespace qbx::cli {

bool wantsCommandLine(int argc, char** argv)
{
    return argc > 1 && std::strcmp(argv[1], "--version") == 0;
}

int run(int, char**)
{
    std::printf("QBX7Config %s\n", versionLine(version::Major, version::Minor, version::Revision).c_str());
    return 0;
}

} // namespace qbx::cli
