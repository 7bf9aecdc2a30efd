#include "cups_library.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace velmor {
namespace {

template <typename Function>
bool Bind(void* library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// Every function, or none: a library without one of them is not used at all.
bool BindAll(void* library, CupsLibrary& cups) {
#define VELMOR_BIND(name) Bind(library, cups.name, #name)
    return VELMOR_BIND(cupsServer) && VELMOR_BIND(ippPort) && VELMOR_BIND(cupsEncryption) &&
           VELMOR_BIND(httpConnect2) && VELMOR_BIND(httpClose) && VELMOR_BIND(httpGetFd) &&
           VELMOR_BIND(httpFlushWrite) && VELMOR_BIND(httpGetStatus) &&
           VELMOR_BIND(cupsSetPasswordCB2) && VELMOR_BIND(cupsUser) && VELMOR_BIND(cupsSetUser) &&
           VELMOR_BIND(cupsLastError) && VELMOR_BIND(ippErrorString) &&
           VELMOR_BIND(cupsGetNamedDest) && VELMOR_BIND(cupsGetDests2) &&
           VELMOR_BIND(cupsFreeDests) && VELMOR_BIND(cupsCopyDestInfo) &&
           VELMOR_BIND(cupsFreeDestInfo) && VELMOR_BIND(cupsFindDestDefault) &&
           VELMOR_BIND(ippFindAttribute) && VELMOR_BIND(ippGetCollection) &&
           VELMOR_BIND(ippGetInteger) && VELMOR_BIND(cupsCreateJob) &&
           VELMOR_BIND(cupsStartDocument) && VELMOR_BIND(cupsWriteRequestData) &&
           VELMOR_BIND(cupsFinishDocument) && VELMOR_BIND(cupsCancelJob2);
#undef VELMOR_BIND
}

}  // namespace

const CupsLibrary* LoadCupsLibrary(const char* soname) {
    static std::mutex mutex;
    // Never freed, as the library is never closed: a worker left behind may still be inside it
    // when the program ends.
    static auto* const loaded = new std::map<std::string, std::optional<CupsLibrary>>;
    const std::lock_guard lock(mutex);
    const auto [at, added] = loaded->try_emplace(soname);
    if (added) {
        void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (library && BindAll(library, at->second.emplace())) return &*at->second;
        at->second.reset();
    }
    return at->second ? &*at->second : nullptr;
}

}  // namespace velmor
