#include "port/cupslibrary.h"

#include <dlfcn.h>

namespace qbx {
namespace {

constexpr const char* kLibraryName = "libcups.so.2";

struct LoadedLibrary
{
    CupsLibrary functions{};
    QString problem; // empty once every function is there
};

template<typename Function>
bool resolve(void* handle, const char* name, Function& function, QString* problem)
{
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    if (!function)
        *problem = QStringLiteral("it has no function %1").arg(QLatin1String(name));
    return function != nullptr;
}

bool resolveAll(void* handle, CupsLibrary& f, QString* problem)
{
    return resolve(handle, "cupsServer", f.server, problem) &&
           resolve(handle, "ippPort", f.ippPort, problem) &&
           resolve(handle, "cupsEncryption", f.encryption, problem) &&
           resolve(handle, "cupsUser", f.user, problem) &&
           resolve(handle, "httpConnect2", f.connect, problem) &&
           resolve(handle, "httpClose", f.close, problem) &&
           resolve(handle, "httpSetTimeout", f.setTimeout, problem) &&
           resolve(handle, "httpError", f.error, problem) &&
           resolve(handle, "cupsDoRequest", f.doRequest, problem) &&
           resolve(handle, "cupsStartDocument", f.startDocument, problem) &&
           resolve(handle, "cupsWriteRequestData", f.writeRequestData, problem) &&
           resolve(handle, "cupsGetResponse", f.getResponse, problem) &&
           resolve(handle, "cupsCancelJob2", f.cancelJob, problem) &&
           resolve(handle, "cupsGetDefault2", f.getDefault, problem) &&
           resolve(handle, "ippNewRequest", f.newRequest, problem) &&
           resolve(handle, "ippAddString", f.addString, problem) &&
           resolve(handle, "ippAddStrings", f.addStrings, problem) &&
           resolve(handle, "ippAddInteger", f.addInteger, problem) &&
           resolve(handle, "ippFindAttribute", f.findAttribute, problem) &&
           resolve(handle, "ippFindNextAttribute", f.findNextAttribute, problem) &&
           resolve(handle, "ippGetCount", f.count, problem) &&
           resolve(handle, "ippGetInteger", f.integer, problem) &&
           resolve(handle, "ippGetBoolean", f.boolean, problem) &&
           resolve(handle, "ippGetString", f.string, problem) &&
           resolve(handle, "ippGetStatusCode", f.statusCode, problem) &&
           resolve(handle, "ippErrorString", f.statusString, problem) &&
           resolve(handle, "ippDelete", f.deleteMessage, problem);
}

LoadedLibrary load()
{
    LoadedLibrary loaded;
    // Never closed: its functions may be running on any thread until the program ends.
    void* handle = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        loaded.problem = QString::fromLocal8Bit(::dlerror());
    else
        resolveAll(handle, loaded.functions, &loaded.problem);
    return loaded;
}

} // namespace

const CupsLibrary* cupsLibrary(Problem* why)
{
    static const LoadedLibrary loaded = load();
    if (loaded.problem.isEmpty())
        return &loaded.functions;
    *why = {QStringLiteral("The print system library (%1) could not be loaded: %2.")
                .arg(QLatin1String(kLibraryName), loaded.problem),
            QStringLiteral("Install the package libcups2.")};
    return nullptr;
}

} // namespace qbx
