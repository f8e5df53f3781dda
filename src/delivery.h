// The platform contract: what each platform's file, output_posix.cpp or
// output_windows.cpp (CMake compiles the one of the system built for), gives
// the buffering in output.cpp. Each defines, besides its two standard
// streams (output.h: standard_output, standard_error), the three functions
// below, and nothing that touches an Output: a platform knows streams and
// units, never a buffer.
//
// Both platforms' writes follow one rule through write_all below: a write
// that reports success but takes nothing is a failure, ENOSPC, as in
// gnulib's full-write. A stream that takes nothing only for now (full and
// non-blocking) is waited for before write_all sees the write, so one that
// reaches it tried again would take nothing again, forever.
#ifndef STRREPL_DELIVERY_H
#define STRREPL_DELIVERY_H

#include "output.h"

#include <cerrno>
#include <cstddef>

// Whether a run of units may end with `unit`, apart from what follows it:
// on Windows not with a high surrogate, the first half of a pair; elsewhere
// with any unit.
template <class Char> bool ends_character(Char unit);

// Writes all `size` units at `data` to `stream`. Returns 0 once all are
// written, else why a write failed (an errno value); a run of units that
// parts a character goes out as it is.
template <class Char> int write_units(Stream stream, const Char *data, std::size_t size);

// Ends the writing to `stream`, to which everything has been written:
// closes it where that may tell of a write lost after all, and returns why
// one was (an errno value), or 0.
int close_stream(Stream stream);

// Writes all `size` elements at `data` by calling `write_some(data, size,
// taken)`, which writes some of them, sets `taken` to how many and returns
// 0, or returns why it failed (an errno value). Returns 0 once all are
// written, else the reason.
template <class Element, class WriteSome>
int write_all(const Element *data, std::size_t size, WriteSome write_some)
{
    while (size > 0) {
        std::size_t taken = 0;
        if (const int error = write_some(data, size, taken); error != 0)
            return error;
        if (taken == 0)
            return ENOSPC;
        data += taken;
        size -= taken;
    }
    return 0;
}

#endif
