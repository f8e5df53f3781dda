// strrepl <string> <replace> <replace with>: writes <string> with every
// occurrence of <replace> replaced by <replace with>, and nothing else.
#include "replace.h"

#include <cstring>

#ifndef _WIN32
#include <cerrno>
#include <unistd.h>
#endif

namespace
{

// The usage and error lines gather here; a longer program name goes out
// straight from the argument vector.
constexpr std::size_t message_units = 256;
#ifdef _WIN32
constexpr std::size_t output_units = 1 << 13;
const wchar_t line_end[] = L"\r\n";
#else
constexpr std::size_t output_units = 1 << 16;
const char line_end[] = "\n";
#endif

bool finish(Output<Unit> &out, const Unit *name);
void print_usage(const Unit *name);

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t *argv[])
#else
int main(int argc, char *argv[])
#endif
{
    // A start-up may hand over no arguments at all; never print a null name.
    const Unit *name = argc > 0 && argv[0] != nullptr ? argv[0] : STRREPL_TEXT("strrepl");
    if (argc != 4) {
        print_usage(name);
        return 1;
    }
    // Static, not on the stack: a run must work on the smallest stack.
    static Unit buffer[output_units];
    Output<Unit> out = open_output(standard_output(), buffer, output_units);
    replace_all<Unit>(argv[1], argv[2], argv[3], out);
    return finish(out, name) ? 0 : 1;
}

namespace
{

// Appends text of the C library's (plain ASCII) to an output of any units.
void put_ascii(Output<Unit> &out, const char *text)
{
    for (; *text != '\0'; ++text) {
        const auto unit = static_cast<Unit>(*text);
        put(out, &unit, 1);
    }
}

// Delivers the rest of the result and makes sure all of it arrived; if not,
// says why on standard error.
bool finish(Output<Unit> &out, const Unit *name)
{
    bool ok = flush(out);
    int error = out.error;
#ifndef _WIN32
    // A file system may report a lost write only now. EBADF after a clean
    // flush means standard output was never open, and nothing was lost.
    if (close(STDOUT_FILENO) != 0 && ok && errno != EBADF && errno != EINTR) {
        ok = false;
        error = errno;
    }
#endif
    if (!ok) {
        static Unit buffer[message_units];
        Output<Unit> err = open_output(standard_error(), buffer, message_units);
        put<Unit>(err, name);
        put_ascii(err, ": write error: ");
        put_ascii(err, std::strerror(error));
        put<Unit>(err, line_end);
        flush(err);
    }
    return ok;
}

void print_usage(const Unit *name)
{
    static Unit buffer[message_units];
    Output<Unit> err = open_output(standard_error(), buffer, message_units);
    put<Unit>(err, name);
    put<Unit>(err, STRREPL_TEXT(" <string> <replace> <replace with>"));
    put<Unit>(err, line_end);
    flush(err);
}

} // namespace
