// Linked into every test program: in the Windows builds, when MORVANE_TEST_STARTED names a file,
// the program creates it before anything else runs. scripts/wine-test-launcher.sh tells by it a
// test program that ran and failed from one that Wine never started, which alone it starts again.
#ifdef _WIN32
#include <cstdio>
#include <cstdlib>

namespace {

// The name is read as wide text, so that any folder name works.
const bool kStartMarked = [] {
    if (const wchar_t *name = ::_wgetenv(L"MORVANE_TEST_STARTED"))
        if (std::FILE *file = ::_wfopen(name, L"wb"))
            std::fclose(file);
    return true;
}();

} // namespace
#endif
