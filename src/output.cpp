// Output: delivery of gathered pieces to a standard stream.
//
// Linux: the bytes as they are, with write(2). Windows: UTF-16 to a console
// with WriteConsoleW, so that it shows every character as typed; to anything
// else (file, pipe, NUL) the ANSI code page's bytes, exactly the bytes and
// nothing added (no CR before LF). Either way in pieces that never part a
// surrogate pair.
#include "output.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace
{

#ifdef _WIN32

// Units per console write or conversion: large console writes fail on
// older Windows.
constexpr std::size_t piece = 4096;
// Bytes the ANSI code page needs at most per UTF-16 unit: two in the
// double-byte code pages, three where the code page is UTF-8.
constexpr std::size_t bytes_per_unit = 3;

// A character the code page lacks becomes its default character, '?', never
// a "best fit" look-alike: those include " & < > | ^ % ! \ / - *, which mean
// something to cmd, to a program's argument splitting or to a path. The code
// pages listed here refuse any flag, and have no best fit to refuse.
DWORD conversion_flags(unsigned int code_page)
{
    switch (code_page) {
    case 42: // Symbol
    case 50220:
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229: // ISO 2022
    case CP_UTF7:
    case CP_UTF8:
        return 0;
    default:
        return code_page >= 57002 && code_page <= 57011 ? 0 : WC_NO_BEST_FIT_CHARS; // ISCII
    }
}

bool high_surrogate(wchar_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

int errno_from(DWORD code)
{
    switch (code) {
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:            // the pipe is being closed
    case ERROR_PIPE_NOT_CONNECTED: // its reader is gone
        return EPIPE;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    default:
        return EIO;
    }
}

bool write_bytes(HANDLE stream, const char *data, std::size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (WriteFile(stream, data, static_cast<DWORD>(size), &written, nullptr) == 0)
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool write_piece(Output<wchar_t> &out, const wchar_t *data, std::size_t size)
{
    if (out.console) {
        while (size > 0) {
            DWORD written = 0;
            if (WriteConsoleW(out.stream, data, static_cast<DWORD>(size), &written, nullptr) == 0 ||
                written == 0)
                return false;
            data += written;
            size -= written;
        }
        return true;
    }
    static char bytes[piece * bytes_per_unit];
    const int length = WideCharToMultiByte(out.code_page, conversion_flags(out.code_page), data,
                                           static_cast<int>(size), bytes,
                                           static_cast<int>(sizeof bytes), nullptr, nullptr);
    return length > 0 && write_bytes(out.stream, bytes, static_cast<std::size_t>(length));
}

// Delivers the units at `data`, in pieces. Unless this is the `last` of the
// output, a high surrogate at the very end waits for the unit after it.
// Returns how many units it took.
std::size_t deliver(Output<wchar_t> &out, const wchar_t *data, std::size_t size, bool last)
{
    if (!last && size > 0 && high_surrogate(data[size - 1]))
        --size;
    for (std::size_t done = 0, n = 0; done < size && out.error == 0; done += n) {
        n = piece_length(data + done, size - done, piece);
        if (!write_piece(out, data + done, n))
            out.error = errno_from(GetLastError());
    }
    return size;
}

#else

template <class Char>
std::size_t deliver(Output<Char> &out, const Char *data, std::size_t size, bool /*last*/)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    std::size_t left = size * sizeof(Char);
    while (left > 0 && out.error == 0) {
        const ssize_t written = write(out.stream, bytes, left);
        if (written >= 0) {
            bytes += written;
            left -= static_cast<std::size_t>(written);
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // The stream was opened non-blocking, perhaps by another process
            // that shares it: wait until it takes more, and leave its flags be.
            pollfd ready = {out.stream, POLLOUT, 0};
            if (poll(&ready, 1, -1) < 0 && errno != EINTR)
                out.error = errno;
        } else if (errno != EINTR) {
            out.error = errno;
        }
    }
    return size;
}

#endif

// Delivers the buffer; what must wait (part of a surrogate pair) moves to
// its front.
template <class Char> void drain(Output<Char> &out)
{
    const std::size_t taken = deliver(out, out.buffer, out.size, false);
    std::char_traits<Char>::move(out.buffer, out.buffer + taken, out.size - taken);
    out.size -= taken;
}

} // namespace

#ifdef _WIN32

std::size_t piece_length(const wchar_t *text, std::size_t size, std::size_t limit)
{
    if (size <= limit)
        return size;
    return high_surrogate(text[limit - 1]) ? limit - 1 : limit;
}

Stream standard_output()
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

Stream standard_error()
{
    return GetStdHandle(STD_ERROR_HANDLE);
}

#else

Stream standard_output()
{
    return STDOUT_FILENO;
}

Stream standard_error()
{
    return STDERR_FILENO;
}

#endif

template <class Char> Output<Char> open_output(Stream stream, Char *buffer, std::size_t capacity)
{
#ifdef _WIN32
    DWORD mode = 0;
    // The code page by number: whether it takes flags depends on which it is.
    return {buffer, capacity, 0, stream, GetConsoleMode(stream, &mode) != 0, GetACP(), 0};
#else
    return {buffer, capacity, 0, stream, false, 0, 0};
#endif
}

template <class Char> void spill(Output<Char> &out, const Char *data, std::size_t size)
{
    if (out.error != 0)
        return;
    drain(out);
    // A unit left waiting there is completed by the piece's first.
    while (out.size > 0 && size > out.capacity - out.size && out.error == 0) {
        out.buffer[out.size++] = *data++;
        --size;
        drain(out);
    }
    if (size > out.capacity - out.size) {
        // Too long to gather: straight from where it lies.
        const std::size_t taken = deliver(out, data, size, false);
        data += taken;
        size -= taken;
    }
    if (out.error == 0)
        put(out, data, size);
}

template <class Char> bool flush(Output<Char> &out)
{
    if (out.error == 0)
        deliver(out, out.buffer, out.size, true);
    out.size = 0;
    return out.error == 0;
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

} // namespace

bool finish(Output<Unit> &out, const Unit *name)
{
    bool ok = flush(out);
    int error = out.error;
#ifndef _WIN32
    // EBADF after a clean flush means the stream was never open, and
    // nothing was lost.
    if (close(out.stream) != 0 && ok && errno != EBADF && errno != EINTR) {
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

template Output<Unit> open_output(Stream, Unit *, std::size_t);
template void spill(Output<Unit> &, const Unit *, std::size_t);
template bool flush(Output<Unit> &);
#ifndef _WIN32
// Wide units go out as they lie in memory; for tests of the scan over them.
template Output<wchar_t> open_output(Stream, wchar_t *, std::size_t);
template void spill(Output<wchar_t> &, const wchar_t *, std::size_t);
template bool flush(Output<wchar_t> &);
#endif
