// strrepl <string> <replace> <replace with>
#include "strrepl.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

static void print_usage(const char *name);

int main(int argc, char *argv[])
{
    // A start-up may hand over no arguments at all; never print a null name.
    const char *name = argc > 0 && argv[0] != nullptr ? argv[0] : "strrepl";
    if (argc != 4) {
        print_usage(name);
        return 1;
    }

    // Output is buffered here, for the run, rather than on the heap.
    char buffer[1 << 16];
    (void)std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);

    // Stream errors are sticky: test once, at the end, and report the first
    // failure's reason.
    bool ok = replace_all(argv[1], argv[2], argv[3], stdout) && std::fflush(stdout) == 0 &&
              std::ferror(stdout) == 0;
    int error = errno;
    // Once everything is flushed, EBADF from the close only means standard
    // output was never open, and then nothing was lost.
    if (std::fclose(stdout) != 0 && ok && errno != EBADF) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        (void)std::fprintf(stderr, "%s: write error: %s\n", name, std::strerror(error));
        return 1;
    }
    return 0;
}

static void print_usage(const char *name)
{
    (void)std::fprintf(stderr, "%s <string> <replace> <replace with>\n", name);
}
