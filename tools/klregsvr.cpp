// klregsvr: registers an in-process server library by calling its own
// registration entry point, or unregisters it with /u.
//
//   klregsvr [/u] [/s] library.so
//
// The library writes its keys into the registry store of the current
// machine. Exit code 0 on success; 1 for a bad command line; 3 when the
// library cannot be loaded; 4 when it lacks the entry point; 5 when the
// entry point reports a failure.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com/errors.h"
#include "platform/com/loader.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: klregsvr [/u] [/s] library\n"
                         "  /u  unregister the library\n"
                         "  /s  silent: print nothing on success\n");
    return 1;
}

bool is_switch(const char* arg, char letter) {
    return (arg[0] == '/' || arg[0] == '-') && (arg[1] == letter || arg[1] == (letter - 'a' + 'A')) &&
           arg[2] == '\0';
}

} // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    bool silent = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (is_switch(argv[i], 'u'))
            unregister = true;
        else if (is_switch(argv[i], 's'))
            silent = true;
        else if (!library && (argv[i][0] != '-' && (argv[i][0] != '/' || std::strlen(argv[i]) > 2)))
            library = argv[i]; // a path; "/x" alone is an unknown switch
        else
            return usage();
    }
    if (!library) return usage();

    const char* entry_name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    std::string detail;
    const plat::HRESULT hr = plat::call_library_registration(library, unregister, &detail);
    if (hr == plat::CO_E_DLLNOTFOUND) {
        std::fprintf(stderr, "klregsvr: cannot load %s: %s\n", library, detail.c_str());
        return 3;
    }
    if (hr == plat::CO_E_ERRORINDLL) {
        std::fprintf(stderr, "klregsvr: %s has no entry point %s\n", library, entry_name);
        return 4;
    }
    if (plat::FAILED(hr)) {
        std::fprintf(stderr, "klregsvr: %s in %s failed: 0x%08X\n", entry_name, library,
                     static_cast<unsigned>(hr));
        return 5;
    }
    if (!silent) std::printf("%s in %s succeeded.\n", entry_name, library);
    return 0;
}
