// What each platform's delivery file (output_posix.cpp, output_windows.cpp)
// gives the sink's shared code in output.cpp. Only those three files and the
// unit test include it.
#ifndef STRREPL_DELIVERY_H
#define STRREPL_DELIVERY_H

#include "output.h"

#include <cstddef>

// Writes all `size` units at `data` to the stream of `out`, unless a write
// has failed: then `out.error` keeps the first reason and nothing more is
// written. On Windows `data` is whole characters, apart from the last unit
// of the output.
template <class Char> void deliver(Output<Char> &out, const Char *data, std::size_t size);

// Closes `stream`, to which everything has been delivered. Returns why a
// write was lost after all (an errno value), or 0.
int close_stream(Stream stream);

#ifdef _WIN32
// How many of the `size` units at `text` a piece of at most `limit` units
// (limit >= 2) takes: all of them if they fit, otherwise `limit`, or one
// fewer where that would part a surrogate pair.
std::size_t piece_length(const wchar_t *text, std::size_t size, std::size_t limit);
#endif

#endif
