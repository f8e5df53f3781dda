// Output on Linux and other POSIX systems: the units as they lie in memory,
// with write(2). Gives output.h and delivery.h their platform's part; only
// through those may anything call it.
#include "delivery.h"

#include <poll.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>

Stream standard_output()
{
    return STDOUT_FILENO;
}

Stream standard_error()
{
    return STDERR_FILENO;
}

template <class Char> Output<Char> open_output(Stream stream, Char *buffer, std::size_t capacity)
{
    assert(capacity >= 2);
    return {buffer, capacity, 0, stream, 0};
}

template <class Char> void deliver(Output<Char> &out, const Char *data, std::size_t size)
{
    if (out.error != 0)
        return;
    const auto write_some = [&out](const char *bytes, std::size_t left, std::size_t &taken) {
        for (;;) {
            const ssize_t written = write(out.stream, bytes, left);
            if (written >= 0) {
                taken = static_cast<std::size_t>(written);
                return 0;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // The stream was opened non-blocking, perhaps by another
                // process that shares it: wait until it takes more, and
                // leave its flags be.
                pollfd ready = {out.stream, POLLOUT, 0};
                if (poll(&ready, 1, -1) < 0 && errno != EINTR)
                    return errno;
            } else if (errno != EINTR) {
                return errno;
            }
        }
    };
    out.error = write_all(reinterpret_cast<const char *>(data), size * sizeof(Char), write_some);
}

template <class Char> void put_overflowing(Output<Char> &out, const Char *data, std::size_t size)
{
    flush(out);
    if (size > out.capacity) {
        // Too long to gather: straight from where it lies.
        deliver(out, data, size);
        return;
    }
    std::char_traits<Char>::copy(out.buffer, data, size);
    out.size = size;
}

int close_stream(Stream stream)
{
    // EBADF: the stream was never open; a write to it would have failed
    // first, so nothing was lost.
    if (close(stream) != 0 && errno != EBADF && errno != EINTR)
        return errno;
    return 0;
}

template Output<Unit> open_output(Stream, Unit *, std::size_t);
template void deliver(Output<Unit> &, const Unit *, std::size_t);
template void put_overflowing(Output<Unit> &, const Unit *, std::size_t);
// Wide units, for the tests of the scan over them; the tool's link leaves
// these out.
template Output<wchar_t> open_output(Stream, wchar_t *, std::size_t);
template void deliver(Output<wchar_t> &, const wchar_t *, std::size_t);
template void put_overflowing(Output<wchar_t> &, const wchar_t *, std::size_t);
