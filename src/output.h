// The output sink: a small buffer of the tool's own in front of one standard
// stream. Linux writes the bytes as they are; Windows writes UTF-16 to a
// console and the ANSI code page's bytes to anything else.
#ifndef STRREPL_OUTPUT_H
#define STRREPL_OUTPUT_H

#include <cstddef>
#include <string>
#include <string_view>

#ifdef _WIN32
using Unit = wchar_t; // what the command line holds: UTF-16 code units
#define STRREPL_TEXT(s) L##s
#else
using Unit = char; // raw bytes
#define STRREPL_TEXT(s) s
#endif

// Where an Output delivers: a file descriptor, or on Windows a HANDLE.
#ifdef _WIN32
using Stream = void *;
#else
using Stream = int;
#endif

// Pieces of output gather in `buffer`; a piece that does not fit goes out with
// the buffer's contents, or straight from where it lies when it is long. After
// the first failure nothing more is written and `error` keeps its reason
// (an errno value); 0 while everything has been delivered.
template <class Char> struct Output {
    Char *buffer;
    std::size_t capacity; // in units; at least 2
    std::size_t size;
    Stream stream;
    bool console;           // Windows: the stream is a console, written as UTF-16
    unsigned int code_page; // Windows: what anything else gets; the ANSI code page
    int error;
};

// The process's standard output and standard error.
Stream standard_output();
Stream standard_error();

// An Output on `stream` that gathers in the caller's `buffer`.
template <class Char> Output<Char> open_output(Stream stream, Char *buffer, std::size_t capacity);

// Delivers everything gathered. Returns false if anything was lost.
template <class Char> bool flush(Output<Char> &out);

// The slow path of put: the piece does not fit in what is left of the buffer.
template <class Char> void spill(Output<Char> &out, const Char *data, std::size_t size);

// Appends a piece to the output. (The scan in replace_all keeps a write
// cursor of its own and comes here only for its last piece.)
template <class Char> inline void put(Output<Char> &out, const Char *data, std::size_t size)
{
    if (size > out.capacity - out.size) {
        spill(out, data, size);
        return;
    }
    std::char_traits<Char>::copy(out.buffer + out.size, data, size);
    out.size += size;
}

template <class Char> inline void put(Output<Char> &out, std::basic_string_view<Char> text)
{
    put(out, text.data(), text.size());
}

// The line end of the lines the tool writes itself, and the buffer's size
// they gather in (a longer program name goes out straight from where it lies).
#ifdef _WIN32
inline constexpr wchar_t line_end[] = L"\r\n";
#else
inline constexpr char line_end[] = "\n";
#endif
inline constexpr std::size_t message_units = 256;

// Delivers the rest of `out` and closes its stream (on Linux, where a file
// system may report a lost write only then). If anything was lost, writes
// "`name`: write error: <reason>" to standard error. Returns whether all of
// it arrived.
bool finish(Output<Unit> &out, const Unit *name);

#ifdef _WIN32
// How many of the `size` units at `text` a piece of at most `limit` units
// (limit >= 2) takes: all of them if they fit, otherwise `limit`, or one
// fewer where that would part a surrogate pair.
std::size_t piece_length(const wchar_t *text, std::size_t size, std::size_t limit);
#endif

#endif
