// The output sink's buffering, the same on every platform: opening an
// Output, a piece that does not fit, flushing and closing. What reaches the
// stream, and where a run of units may be cut, is the platform's
// (delivery.h). Called through output.h.
#include "delivery.h"

#include <cassert>

namespace
{

// Writes `size` units at `data` to the stream of `out`, unless a write has
// failed: then nothing more is written, and the first reason stays.
template <class Char> void deliver(Output<Char> &out, const Char *data, std::size_t size)
{
    if (out.error == 0)
        out.error = write_units(out.stream, data, size);
}

// How many of the `size` units at `data` may go out before what follows
// them: all, or all but a last one that waits for its partner.
template <class Char> std::size_t whole(const Char *data, std::size_t size)
{
    return size > 0 && !ends_character(data[size - 1]) ? size - 1 : size;
}

// Delivers the buffer's whole characters; a unit that waits for its
// partner moves to the buffer's front.
template <class Char> void flush_whole(Output<Char> &out)
{
    const std::size_t length = whole(out.buffer, out.size);
    deliver(out, out.buffer, length);
    if (length < out.size)
        out.buffer[0] = out.buffer[length];
    out.size -= length;
}

} // namespace

template <class Char> Output<Char> open_output(Stream stream, Char *buffer, std::size_t capacity)
{
    assert(capacity >= 2);
    return {buffer, capacity, 0, stream, 0};
}

template <class Char> void put_overflowing(Output<Char> &out, const Char *data, std::size_t size)
{
    flush_whole(out);
    // A unit waiting there is completed by the piece's first units.
    while (out.size > 0 && size > out.capacity - out.size) {
        out.buffer[out.size++] = *data++;
        --size;
        flush_whole(out);
    }
    if (size > out.capacity - out.size) {
        // Too long to gather: straight from where it lies, but for a unit
        // at its end that waits for its partner.
        const std::size_t length = whole(data, size);
        deliver(out, data, length);
        data += length;
        size -= length;
    }
    std::char_traits<Char>::copy(out.buffer + out.size, data, size);
    out.size += size;
}

template <class Char> bool flush(Output<Char> &out)
{
    deliver(out, out.buffer, out.size);
    out.size = 0;
    return out.error == 0;
}

int close_output(Output<Unit> &out)
{
    flush(out);
    // Ended even after a failed write; the first reason is the one given.
    const int error = close_stream(out.stream);
    return out.error != 0 ? out.error : error;
}

template Output<Unit> open_output(Stream, Unit *, std::size_t);
template void put_overflowing(Output<Unit> &, const Unit *, std::size_t);
template bool flush(Output<Unit> &);
#ifndef _WIN32
// Wide units, for the tests of the scan over them; the tool's link leaves
// these out.
template Output<wchar_t> open_output(Stream, wchar_t *, std::size_t);
template void put_overflowing(Output<wchar_t> &, const wchar_t *, std::size_t);
template bool flush(Output<wchar_t> &);
#endif
