// Loads the library given on the command line, unloads it, and checks that it is gone: a
// program that loads it as a plug-in must be able to let go of it. A symbol of binding
// STB_GNU_UNIQUE exported by the library (a function-local static of a standard-library
// inline, say) would keep it loaded for the rest of the process. Exits 0 when it unloads.
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: unload path/to/libfieldkit.so\n");
        return 2;
    }
    void* handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::printf("unload: cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    if (dlclose(handle) != 0) {
        std::printf("unload: dlclose failed: %s\n", dlerror());
        return 1;
    }
    if (void* still = dlopen(argv[1], RTLD_NOW | RTLD_NOLOAD)) {
        dlclose(still);
        std::printf("unload: %s is still loaded after dlclose\n", argv[1]);
        return 1;
    }
    std::printf("unload: the library unloads\n");
    return 0;
}
