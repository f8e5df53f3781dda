// Output on Windows: UTF-16 to a console with WriteConsoleW, so that it shows
// every character as typed; to anything else (file, pipe, NUL) the ANSI code
// page's bytes, exactly the bytes and nothing added (no CR before LF). Either
// way in pieces that never part a surrogate pair. Gives output.h and
// delivery.h their platform's part; only through those may anything call it.
#include "delivery.h"

#include <windows.h>

#include <cassert>
#include <cerrno>

namespace
{

// Units per console write or conversion: large console writes fail on
// older Windows.
constexpr std::size_t units_per_write = 4096;
// Bytes the ANSI code page needs at most per UTF-16 unit: two in the
// double-byte code pages, three where the code page is UTF-8.
constexpr std::size_t bytes_per_unit = 3;

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

// write_all's write_some through `write` (WriteFile or WriteConsoleW).
template <class Write> auto writing_with(HANDLE stream, Write write)
{
    return [stream, write](const auto *data, std::size_t size, std::size_t &taken) {
        DWORD written = 0;
        if (write(stream, data, static_cast<DWORD>(size), &written, nullptr) == 0)
            return errno_from(GetLastError());
        taken = written;
        return 0;
    };
}

// Writes one piece of at most units_per_write units. Returns why it failed
// (an errno value), or 0.
int write_piece(Output<wchar_t> &out, const wchar_t *data, std::size_t size)
{
    if (out.console)
        return write_all(data, size, writing_with(out.stream, WriteConsoleW));
    static char bytes[units_per_write * bytes_per_unit];
    const int length = WideCharToMultiByte(out.code_page, conversion_flags(out.code_page), data,
                                           static_cast<int>(size), bytes,
                                           static_cast<int>(sizeof bytes), nullptr, nullptr);
    if (length <= 0)
        return errno_from(GetLastError());
    return write_all(bytes, static_cast<std::size_t>(length), writing_with(out.stream, WriteFile));
}

// Delivers the buffer, but for a high surrogate at its end: that moves to
// the buffer's front to wait for its partner.
void flush_whole_characters(Output<wchar_t> &out)
{
    const bool waits = out.size > 0 && high_surrogate(out.buffer[out.size - 1]);
    deliver(out, out.buffer, waits ? out.size - 1 : out.size);
    if (waits)
        out.buffer[0] = out.buffer[out.size - 1];
    out.size = waits ? 1 : 0;
}

} // namespace

std::size_t piece_length(const wchar_t *text, std::size_t size, std::size_t limit)
{
    if (size <= limit)
        return size;
    return high_surrogate(text[limit - 1]) ? limit - 1 : limit;
}

// A character the code page lacks becomes its default character, '?', never
// a "best fit" look-alike: those include " & < > | ^ % ! \ / - *, which mean
// something to cmd, to a program's argument splitting or to a path. The code
// pages listed here refuse any flag, and have no best fit to refuse.
unsigned long conversion_flags(unsigned int code_page)
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

Stream standard_output()
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

Stream standard_error()
{
    return GetStdHandle(STD_ERROR_HANDLE);
}

template <class Char> Output<Char> open_output(Stream stream, Char *buffer, std::size_t capacity)
{
    assert(capacity >= 2);
    DWORD mode = 0;
    // The code page by number: whether it takes flags depends on which it is.
    return {buffer, capacity, 0, stream, 0, GetConsoleMode(stream, &mode) != 0, GetACP()};
}

template <class Char> void deliver(Output<Char> &out, const Char *data, std::size_t size)
{
    for (std::size_t done = 0, n = 0; done < size && out.error == 0; done += n) {
        n = piece_length(data + done, size - done, units_per_write);
        out.error = write_piece(out, data + done, n);
    }
}

template <class Char> void put_overflowing(Output<Char> &out, const Char *data, std::size_t size)
{
    if (out.error != 0)
        return;
    flush_whole_characters(out);
    // A high surrogate waiting there is completed by the piece's first unit.
    while (out.size > 0 && size > out.capacity - out.size && out.error == 0) {
        out.buffer[out.size++] = *data++;
        --size;
        flush_whole_characters(out);
    }
    if (size > out.capacity - out.size) {
        // Too long to gather: straight from where it lies, but for a high
        // surrogate at its end.
        const std::size_t whole = high_surrogate(data[size - 1]) ? size - 1 : size;
        deliver(out, data, whole);
        data += whole;
        size -= whole;
    }
    if (out.error == 0)
        put(out, data, size);
}

// A write that failed failed at once, and closing a standard handle would
// tell nothing more.
int close_stream(Stream /*stream*/)
{
    return 0;
}

template Output<wchar_t> open_output(Stream, wchar_t *, std::size_t);
template void deliver(Output<wchar_t> &, const wchar_t *, std::size_t);
template void put_overflowing(Output<wchar_t> &, const wchar_t *, std::size_t);
