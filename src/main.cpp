// strrepl <string> <replace> <replace with>: writes <string> with every
// occurrence of <replace> replaced by <replace with>, and nothing else.
#include "replace.h"

namespace
{

#ifdef _WIN32
constexpr std::size_t output_units = 1 << 13;
#else
constexpr std::size_t output_units = 1 << 16;
#endif

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
