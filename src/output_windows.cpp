// Output on Windows: UTF-16 to a console with WriteConsoleW, so that it shows
// every character as typed; to anything else (file, pipe, NUL) the ANSI code
// page's bytes, exactly the bytes and nothing added (no CR before LF). Either
// way in pieces that never part a surrogate pair. Gives delivery.h its
// platform's part; only through that may anything call it.
#include "delivery.h"

#include <windows.h>

#include <cerrno>

namespace
{

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

// write_all's write_some for a console: WriteConsoleW.
int write_console(HANDLE stream, const wchar_t *data, std::size_t size, std::size_t &taken)
{
    DWORD written = 0;
    if (WriteConsoleW(stream, data, static_cast<DWORD>(size), &written, nullptr) == 0)
        return errno_from(GetLastError());
    taken = written;
    return 0;
}

// write_all's write_some for anything else: WriteFile. Only a pipe in
// non-blocking mode (PIPE_NOWAIT: the process that handed it over may have
// set it, and it is that process's to keep) takes nothing, where one in
// blocking mode waits. Its mode cannot be asked: a write end that
// CreatePipe made lacks the right GetNamedPipeHandleState needs. Such a
// pipe takes a write whole or not at all: none longer than its buffer,
// none that does not fit beside what its reader has yet to read. Windows
// has no call that waits for room in a pipe, but FlushFileBuffers returns
// once the reader has read all the pipe holds; the piece then goes into
// the empty pipe, halved while it is too long for the buffer. A write that
// takes nothing on anything else, or not one byte of an empty pipe, is
// left to write_all, which fails it.
int write_file(HANDLE stream, const char *data, std::size_t size, std::size_t &taken)
{
    DWORD written = 0;
    if (WriteFile(stream, data, static_cast<DWORD>(size), &written, nullptr) == 0)
        return errno_from(GetLastError());
    taken = written;
    if (written > 0 || GetFileType(stream) != FILE_TYPE_PIPE)
        return 0;
    if (FlushFileBuffers(stream) == 0)
        return errno_from(GetLastError());
    for (auto piece = static_cast<DWORD>(size); piece > 0 && written == 0; piece /= 2)
        if (WriteFile(stream, data, piece, &written, nullptr) == 0)
            return errno_from(GetLastError());
    taken = written;
    return 0;
}

// write_all's write_some through `write`, write_console or write_file.
template <class Write> auto writing_with(HANDLE stream, Write write)
{
    return [stream, write](const auto *data, std::size_t size, std::size_t &taken) {
        return write(stream, data, size, taken);
    };
}

} // namespace

// A character the code page lacks becomes its default character, '?', never
// a "best fit" look-alike: those include " & < > | ^ % ! \ / - *, which mean
// something to cmd, to a program's argument splitting or to a path. The code
// page is the ANSI one, and of those only UTF-8 refuses the flag, having no
// best fit to refuse.
unsigned long conversion_flags(unsigned int code_page)
{
    return code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
}

namespace
{

// Writes one piece of at most units_per_write units. Returns why it failed
// (an errno value), or 0.
int write_piece(Stream stream, const wchar_t *data, std::size_t size)
{
    if (stream.console)
        return write_all(data, size, writing_with(stream.handle, write_console));
    static char bytes[units_per_write * bytes_per_unit];
    const int length = WideCharToMultiByte(stream.code_page, conversion_flags(stream.code_page),
                                           data, static_cast<int>(size), bytes,
                                           static_cast<int>(sizeof bytes), nullptr, nullptr);
    if (length <= 0)
        return errno_from(GetLastError());
    return write_all(bytes, static_cast<std::size_t>(length),
                     writing_with(stream.handle, write_file));
}

// A standard stream, and how it is written.
Stream standard_stream(DWORD which)
{
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    // The code page by number: whether it takes flags depends on which it is.
    return {handle, GetConsoleMode(handle, &mode) != 0, GetACP()};
}

} // namespace

Stream standard_output()
{
    return standard_stream(STD_OUTPUT_HANDLE);
}

Stream standard_error()
{
    return standard_stream(STD_ERROR_HANDLE);
}

template <class Char> bool ends_character(Char unit)
{
    return !high_surrogate(unit);
}

template <class Char> int write_units(Stream stream, const Char *data, std::size_t size)
{
    for (std::size_t done = 0, n = 0; done < size; done += n) {
        n = size - done;
        if (n > units_per_write)
            n = ends_character(data[done + units_per_write - 1]) ? units_per_write
                                                                 : units_per_write - 1;
        if (const int error = write_piece(stream, data + done, n); error != 0)
            return error;
    }
    return 0;
}

// A write that failed failed at once, and closing a standard handle would
// tell nothing more.
int close_stream(Stream /*stream*/)
{
    return 0;
}

template bool ends_character(wchar_t);
template int write_units(Stream, const wchar_t *, std::size_t);
