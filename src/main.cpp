// strrepl <string> <replace> <replace with>: writes <string> with every
// occurrence of <replace> replaced by <replace with>, and nothing else.
// The entry, and the only lines the tool writes itself: the usage line and
// the write-error line.
#include "output.h"
#include "replace.h"

#include <cstring>
#include <initializer_list>

namespace
{

// The result's buffer. On Linux 64 KiB, what a pipe holds: one write fills
// an empty one, and a result that fits goes out in one write. On Windows a
// flush goes out in pieces of units_per_write (output.h), each converted and
// written on its own, so a larger buffer would save no write: it holds two
// such pieces.
#ifdef _WIN32
constexpr std::size_t output_units = 2 * units_per_write;
constexpr char line_end[] = "\r\n";
#else
constexpr std::size_t output_units = 1 << 16;
constexpr char line_end[] = "\n";
#endif
// The buffer a line of the tool's own gathers in, so that it goes out in one
// write: 256 units hold a program name of up to about 190 units beside the
// longest of the rest (": write error: " and a C library's message). A
// longer name goes out straight from where it lies.
constexpr std::size_t line_units = 256;

void print_usage(const Unit *name);
void print_write_error(const Unit *name, int error);

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
    const int error = close_output(out);
    if (error != 0) {
        print_write_error(name, error);
        return 1;
    }
    return 0;
}

namespace
{

// Writes "`name``text``more`" and a line end to standard error; `text` and
// `more` are plain ASCII (the C library's own messages are).
void print_line(const Unit *name, const char *text, const char *more)
{
    static Unit buffer[line_units];
    Output<Unit> err = open_output(standard_error(), buffer, line_units);
    put<Unit>(err, name);
    for (const char *part : {text, more, line_end})
        for (; *part != '\0'; ++part) {
            const auto unit = static_cast<Unit>(*part);
            put(err, &unit, 1);
        }
    flush(err);
}

// strrepl-set.bat tells this line from any other the tool writes by its <.
void print_usage(const Unit *name)
{
    print_line(name, " <string> <replace> <replace with>", "");
}

void print_write_error(const Unit *name, int error)
{
    print_line(name, ": write error: ", std::strerror(error));
}

} // namespace
