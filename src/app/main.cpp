#include "commandline.h"
#include "runwindow.h"

int main(int argc, char** argv)
{
    if (qbx::cli::wantsCommandLine(argc, argv))
        return qbx::cli::run(argc, argv);
    return qbx::ui::runWindow(argc, argv);
}
