// The output sink: a buffer of the caller's in front of one standard stream,
// and the Writer through which a scan fills it. main.cpp opens, fills and
// closes Outputs; replace.cpp reaches one only through a Writer. The
// buffering is output.cpp's, the same on every platform; what reaches the
// stream is the platform's (delivery.h).
#ifndef STRREPL_OUTPUT_H
#define STRREPL_OUTPUT_H

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#ifdef _WIN32
using Unit = wchar_t; // what the command line holds: UTF-16 code units
#define STRREPL_TEXT(s) L##s
// A standard stream, with what a write to it needs to know.
struct Stream {
    void *handle;           // a HANDLE
    bool console;           // written as UTF-16, as typed
    unsigned int code_page; // what anything else gets: the ANSI code page
};
// Units a write to a console, or a conversion to the code page, takes at
// most (output_windows.cpp): large console writes fail on older Windows.
constexpr std::size_t units_per_write = 4096;
#else
using Unit = char;  // raw bytes
#define STRREPL_TEXT(s) s
using Stream = int; // a file descriptor
#endif

// Pieces of output gather in `buffer`. A piece that does not fit sends the
// buffer's contents out and is copied into the emptied buffer, or, when it
// is longer than the buffer, goes straight out from where it lies. Only
// whole characters go out before the end: a unit that waits for the rest of
// its character (on Windows, a high surrogate) stays at the buffer's front.
// After the first failed write nothing more is written.
template <class Char> struct Output {
    Char *buffer;
    // In units; at least 2, so that a unit waiting at the buffer's front
    // has room beside it for its partner.
    std::size_t capacity;
    std::size_t size;
    Stream stream;
    int error; // the first failed write's reason, an errno value; 0 while none has failed
};

// The process's standard output and standard error (the platform's file
// defines these).
Stream standard_output();
Stream standard_error();

// An Output on `stream` that gathers in the caller's `buffer` of `capacity`
// units (at least 2).
template <class Char> Output<Char> open_output(Stream stream, Char *buffer, std::size_t capacity);

// The slow path of put: the piece does not fit in what is left of the buffer.
template <class Char> void put_overflowing(Output<Char> &out, const Char *data, std::size_t size);

// Appends a piece.
template <class Char> inline void put(Output<Char> &out, const Char *data, std::size_t size)
{
    if (size > out.capacity - out.size) {
        put_overflowing(out, data, size);
        return;
    }
    std::char_traits<Char>::copy(out.buffer + out.size, data, size);
    out.size += size;
}

template <class Char> inline void put(Output<Char> &out, std::basic_string_view<Char> text)
{
    put(out, text.data(), text.size());
}

// Delivers everything gathered and empties the buffer. Returns false if
// any write has failed.
template <class Char> bool flush(Output<Char> &out);

// Flushes `out` and ends the writing to its stream (delivery.h's
// close_stream). Returns the reason anything was lost, an errno value, or 0
// if all of it arrived.
int close_output(Output<Unit> &out);

// How a scan puts its pieces into an Output, for the length of one call:
// the write cursor and its limit stay here, in registers, and the Output
// sees them again only when a piece does not fit and at hand_back.
template <class Char> class Writer
{
  public:
    // Pieces up to this long are copied as one fixed-size block.
    static constexpr std::size_t fixed_copy = 16;

    explicit Writer(Output<Char> &out)
        : out_(out), cursor_(out.buffer + out.size), limit_(out.buffer + out.capacity)
    {
    }

    // Appends `size` units at `data`. Units up to `readable_end` may be read:
    // when fixed_copy of them can be, a short piece is copied as one block,
    // and the units past it are overwritten by the next piece.
    void put(const Char *data, std::size_t size, const Char *readable_end)
    {
        if (size <= fixed_copy && room() >= fixed_copy &&
            static_cast<std::size_t>(readable_end - data) >= fixed_copy) {
            std::memcpy(cursor_, data, fixed_copy * sizeof(Char));
            cursor_ += size;
        } else {
            put(data, size);
        }
    }

    // Appends `size` units at `data`.
    void put(const Char *data, std::size_t size)
    {
        if (size <= room()) {
            std::char_traits<Char>::copy(cursor_, data, size);
            cursor_ += size;
            return;
        }
        hand_back();
        put_overflowing(out_, data, size);
        cursor_ = out_.buffer + out_.size;
        limit_ = out_.buffer + out_.capacity;
    }

    // Gives the Output its size back: put does before a piece that does not
    // fit, the scan after its last put.
    void hand_back() { out_.size = static_cast<std::size_t>(cursor_ - out_.buffer); }

  private:
    std::size_t room() const { return static_cast<std::size_t>(limit_ - cursor_); }

    Output<Char> &out_;
    Char *cursor_;
    Char *limit_;
};

#endif
