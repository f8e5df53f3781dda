// Output on Linux and other POSIX systems: the units as they lie in memory,
// with write(2). Gives delivery.h its platform's part; only through that
// may anything call it.
#include "delivery.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

Stream standard_output()
{
    return STDOUT_FILENO;
}

Stream standard_error()
{
    return STDERR_FILENO;
}

// Bytes have no characters to part.
template <class Char> bool ends_character(Char /*unit*/)
{
    return true;
}

template <class Char> int write_units(Stream stream, const Char *data, std::size_t size)
{
    const auto write_some = [stream](const char *bytes, std::size_t left, std::size_t &taken) {
        for (;;) {
            const ssize_t written = write(stream, bytes, left);
            if (written >= 0) {
                taken = static_cast<std::size_t>(written);
                return 0;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // The stream was opened non-blocking, perhaps by another
                // process that shares it: wait until it takes more, and
                // leave its flags be.
                pollfd ready = {stream, POLLOUT, 0};
                if (poll(&ready, 1, -1) < 0 && errno != EINTR)
                    return errno;
            } else if (errno != EINTR) {
                return errno;
            }
        }
    };
    return write_all(reinterpret_cast<const char *>(data), size * sizeof(Char), write_some);
}

int close_stream(Stream stream)
{
    // EBADF: the stream was never open; a write to it would have failed
    // first, so nothing was lost.
    if (close(stream) != 0 && errno != EBADF && errno != EINTR)
        return errno;
    return 0;
}

template bool ends_character(Unit);
template int write_units(Stream, const Unit *, std::size_t);
// Wide units, for the tests of the scan over them; the tool's link leaves
// these out.
template bool ends_character(wchar_t);
template int write_units(Stream, const wchar_t *, std::size_t);
