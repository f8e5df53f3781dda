// The platform contract: all that each platform's file, output_posix.cpp or
// output_windows.cpp (CMake compiles the one of the system built for), gives
// the rest of the program. Each defines six functions:
//   - standard_output, standard_error: the process's two streams;
//   - open_output: an Output on a stream, over the caller's buffer;
//   - put_overflowing: put's slow path, for a piece that does not fit;
//   - deliver: writes units to the stream, after the first failure none;
//   - close_stream: closes the stream, and tells of a write lost after all.
// The first four are called from outside the sink, so output.h declares them
// and says what each does; output.cpp alone calls the last two, declared
// here. Only output.cpp, the two platform files and the unit test include
// this file. On Windows the platform file defines also piece_length and
// conversion_flags, declared here for the unit test.
//
// Both follow one rule through write_all below: a write that reports
// success but takes nothing is a failure, ENOSPC, as in gnulib's
// full-write. Tried again it would take nothing again, forever.
#ifndef STRREPL_DELIVERY_H
#define STRREPL_DELIVERY_H

#include "output.h"

#include <cerrno>
#include <cstddef>

// Writes all `size` units at `data` to the stream of `out`, unless a write
// has failed: then `out.error` keeps the first reason and nothing more is
// written. On Windows `data` is whole characters, apart from the last unit
// of the output.
template <class Char> void deliver(Output<Char> &out, const Char *data, std::size_t size);

// Closes `stream`, to which everything has been delivered. Returns why a
// write was lost after all (an errno value), or 0.
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

#ifdef _WIN32
// How many of the `size` units at `text` a piece of at most `limit` units
// (limit >= 2) takes: all of them if they fit, otherwise `limit`, or one
// fewer where that would part a surrogate pair.
std::size_t piece_length(const wchar_t *text, std::size_t size, std::size_t limit);

// The flags of a conversion to `code_page` (WideCharToMultiByte's).
unsigned long conversion_flags(unsigned int code_page);
#endif

#endif
