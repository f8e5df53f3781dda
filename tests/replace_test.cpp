#include "replace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>

#ifdef _WIN32
#include "delivery.h" // ends_character

#include <io.h>
#include <windows.h>

// output_windows.cpp's own, declared here for its table alone.
unsigned long conversion_flags(unsigned int code_page);
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace
{

using namespace std::string_view_literals;

// A temporary file as an Output's stream; read back byte for byte. On
// Windows it gets UTF-8 rather than the ANSI code page: a surrogate pair
// parted between two writes shows there as two replacement characters
// instead of the one character.
struct TempFile {
    std::FILE *file = std::tmpfile();
    ~TempFile()
    {
        if (file != nullptr)
            (void)std::fclose(file);
    }
    TempFile() = default;
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;

    Stream stream() const
    {
#ifdef _WIN32
        return {reinterpret_cast<void *>(_get_osfhandle(_fileno(file))), false, CP_UTF8};
#else
        return fileno(file);
#endif
    }
    std::string bytes() const
    {
        std::string all;
        std::rewind(file);
        char chunk[4096];
        for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
            all.append(chunk, n);
        return all;
    }
};

// The units as they lie in memory.
template <class Char> std::string in_memory(const std::basic_string<Char> &units)
{
    return {reinterpret_cast<const char *>(units.data()), units.size() * sizeof(Char)};
}

// The bytes a result of these units must come out as: on Windows UTF-8,
// converted in one piece; elsewhere the units as they lie.
template <class Char> std::string expected_bytes(const std::basic_string<Char> &units)
{
#ifdef _WIN32
    if (units.empty())
        return {};
    const int size = static_cast<int>(units.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, units.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, units.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
#else
    return in_memory(units);
#endif
}

// Runs replace_all through an Output whose buffer holds `capacity` units,
// the units `held` already in it, and returns the bytes that reached the
// file. Nothing may be read or written outside the buffer: guard units lie
// on both sides of it, the one in front (wide units) a high surrogate, which
// a read there would take for half a pair.
template <class Char>
std::string replaced(std::basic_string_view<Char> subject, std::basic_string_view<Char> search,
                     std::basic_string_view<Char> with, std::size_t capacity,
                     std::basic_string_view<Char> held = {})
{
    TempFile f;
    if (f.file == nullptr) {
        ADD_FAILURE() << "tmpfile failed";
        return {};
    }
    const auto front = static_cast<Char>(sizeof(Char) > 1 ? 0xD83D : '~');
    const std::basic_string<Char> past(64, Char{'~'});
    std::basic_string<Char> buffer = front + std::basic_string<Char>(capacity, Char{}) + past;
    Output<Char> out = open_output(f.stream(), buffer.data() + 1, capacity);
    put(out, held);
    replace_all(subject, search, with, out);
    EXPECT_TRUE(flush(out));
    EXPECT_EQ(buffer.substr(capacity + 1), past) << "written past a buffer of " << capacity;
    EXPECT_EQ(buffer.front(), front) << "written before a buffer of " << capacity;
    return f.bytes();
}

// Bytes as a C literal would show them, for failure messages: printable
// ASCII as it is, anything else escaped.
std::string escaped(std::string_view bytes)
{
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            text += '\\';
            text += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            const char digits[] = "0123456789abcdef";
            text += {'\\', 'x', digits[byte >> 4U], digits[byte & 0xFU]};
        }
    }
    return text;
}

// Each byte of a narrow literal as one unit: the same rows serve the byte
// scan and the scan over wide units.
template <class Char> std::basic_string<Char> units(std::string_view bytes)
{
    std::basic_string<Char> u;
    for (const char c : bytes)
        u.push_back(static_cast<Char>(static_cast<unsigned char>(c)));
    return u;
}

struct Replacement {
    std::string_view subject, search, with, expected;
    std::string_view held = {}; // already in the Output: it stays in front
};

const Replacement replacements[] = {
    {"abcabc", "bc", "X", "aXaX"},
    {"aaa", "aa", "b", "ba"},       // leftmost first, never overlapping
    {"abababa", "aba", "X", "XbX"}, // the scan resumes after the match
    {"ab", "b", "bb", "abb"},       // the replacement is not rescanned
    {"abc", "", "X", "abc"},        // an empty search string never matches
    {"", "", "", ""},
    {"", "a", "b", ""},
    {"abcabc", "bc", "", "aa"},                           // an empty replacement removes
    {"ab", "abc", "X", "ab"},                             // longer than the whole subject
    {"xxab", "abc", "X", "xxab"},                         // longer than the rest of the subject
    {"aaaa", "aab", "X", "aaaa"},                         // a partial match runs into the end
    {"abc", "abc", "Z", "Z"},                             // the whole subject
    {"xyab", "ab", "Q", "xyQ"},                           // at the very end
    {"aab", "ab", "X", "aX"},                             // first unit seen again after a miss
    {"a", "A", "b", "a"},                                 // case-sensitive
    {"a.b*c", ".b*", "?", "a?c"},                         // no pattern characters
    {"\xc3\xa9t\xc3\xa9", "\xa9t\xc3", "-", "\xc3-\xa9"}, // inside multibyte characters
    {"\xff\x80\xff", "\xff", "\x01", "\x01\x80\x01"},
    {"a\r\nb\n", "\n", "\r\n", "a\r\r\nb\r\n"}, // line ends are bytes like any other
    {"a\0b\0"sv, "\0"sv, "--", "a--b--"},
    {"\0\0\0"sv, "\0\0"sv, "x", "x\0"sv},
    {"0123456789abcdefghijklmnopqrstuvwxyz=0123456789abcdefghijklmnopqrstuvwxyz==", "==", "#",
     "0123456789abcdefghijklmnopqrstuvwxyz=0123456789abcdefghijklmnopqrstuvwxyz#"},
    // Search strings on either side of where the comparison leaves the
    // inline loop, differing at its last unit and just past it.
    {"0123456789abcdeX0123456789abcdef", "0123456789abcdef", "#", "0123456789abcdeX#"},
    {"0123456789abcdefX0123456789abcdefg", "0123456789abcdefg", "#", "0123456789abcdefX#"},
    {"aaaaaaaaaaaaaaaaaaaaaaaaaab", "aaaaaaaaaaaaaaaaaaab", "#", "aaaaaaa#"},
    // ... and matching there with text after them.
    {"0123456789abcdefX", "0123456789abcdef", "Y", "YX"},
    {"0123456789abcdefgX", "0123456789abcdefg", "Y", "YX"},
    // Pieces on either side of the fixed-size copy's 16 units, and pieces
    // longer than a 32-unit buffer: a gap and a replacement.
    {"0123456789abcde=0123456789abcdef=0123456789abcdefg=", "=", "0123456789abcdef",
     "0123456789abcde0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdefg"
     "0123456789abcdef"},
    {"0123456789abcdefghijklmnopqrstuvwxyz0123456789=", "=", "",
     "0123456789abcdefghijklmnopqrstuvwxyz0123456789"},
    {"a=b=", "=", "0123456789abcdefghijklmnopqrstuvwxyz0123456789",
     "a0123456789abcdefghijklmnopqrstuvwxyz0123456789b0123456789abcdefghijklmnopqrstuvwxyz012345678"
     "9"},
    {"abcabc", "bc", "X", "<<aXaX", "<<"},
};

// Buffers from the smallest an Output takes to one that holds every result,
// with those either side of the fixed-size copy's 16 units: across the rows,
// pieces that fit, fill the buffer exactly, overflow it by one and dwarf it.
constexpr std::size_t capacities[] = {2, 3, 4, 5, 15, 16, 17, 31, 32, 33, 4096};

template <class Char> void check(const Replacement &r)
{
    for (const std::size_t capacity : capacities) {
        const auto subject = units<Char>(r.subject);
        const auto search = units<Char>(r.search);
        const auto with = units<Char>(r.with);
        EXPECT_EQ(replaced<Char>(subject, search, with, capacity, units<Char>(r.held)),
                  expected_bytes(units<Char>(r.expected)))
            << "subject \"" << escaped(r.subject) << "\", search \"" << escaped(r.search)
            << "\", with \"" << escaped(r.with) << "\", buffer of " << capacity;
    }
}

template <class Char> void check_table()
{
    for (const auto &r : replacements)
        check<Char>(r);
    // Gaps on either side of where the scan stops looking unit by unit, from
    // the subject's start and after a match.
    for (std::size_t gap = short_gap - 1; gap <= short_gap + 1; ++gap) {
        std::string subject(2 * gap + 2, 'x');
        subject[gap] = subject.back() = '=';
        std::string expected = subject;
        expected[gap] = expected.back() = '#';
        check<Char>({subject, "=", "#", expected});
    }
}

#ifndef _WIN32
TEST(ReplaceAll, Bytes)
{
    check_table<char>();
}
#endif

TEST(ReplaceAll, WideUnits)
{
    check_table<wchar_t>();
}

// Surrogates are units like any other to the scan; an Output never parts a
// pair, whatever its buffer, and where a pair was parted by the replacement
// the halves go out alone.
TEST(ReplaceAll, SurrogatePairs)
{
    const std::wstring pair = L"\xD83D\xDE00"; // U+1F600
    struct Row {
        std::wstring subject, search, with, expected;
    };
    const Row rows[] = {
        {pair + pair + pair, pair, L"x", L"xxx"},
        {pair + L"a" + pair, L"a", pair, pair + pair + pair},
        {pair + pair, L"\xDE00", L"-", L"\xD83D-\xD83D-"},
        {pair + pair, L"\xD83D", L"", L"\xDE00\xDE00"},
        {L"a" + pair + L"aa", L"a", pair, pair + pair + pair + pair},
    };
    for (const std::size_t capacity : capacities)
        for (const auto &r : rows) {
            EXPECT_EQ(replaced<wchar_t>(r.subject, r.search, r.with, capacity),
                      expected_bytes(r.expected))
                << "row " << (&r - rows) << ", buffer of " << capacity;
        }
}

// Pieces in every position against a buffer's end: each of them written
// together must come out as they would in one piece.
TEST(Output, PiecesAcrossTheBufferEnd)
{
    const std::wstring pieces[] = {
        L"", L"a", L"\xD83D\xDE00", L"ab\xD83D", L"\xDE00", L"0123456789",
        // a pair across the edge of the first write, and of a later one
        std::wstring(4095, L'a') + L"\xD83D\xDE00",
        std::wstring(8191, L'a') + L"\xD83D\xDE00" + L'b', L"\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00",
        // more than one conversion's worth, 3 bytes each in UTF-8
        std::wstring(5000, L'\x8868'),
        // a high surrogate alone, completed by a piece that does
        // not fit beside it
        L"\xD83D", std::wstring{L'\xDE00', L'a', L'b'}};
    for (const std::size_t capacity : capacities) {
        TempFile f;
        ASSERT_NE(f.file, nullptr);
        std::wstring buffer(capacity, L'\0');
        Output<wchar_t> out = open_output(f.stream(), buffer.data(), capacity);
        std::wstring all;
        for (int round = 0; round < 3; ++round)
            for (const auto &p : pieces) {
                put<wchar_t>(out, p);
                all += p;
            }
        EXPECT_TRUE(flush(out));
        EXPECT_EQ(f.bytes(), expected_bytes(all)) << "buffer of " << capacity;
    }
}

// A high surrogate that fills a buffer waits there for its partner, which
// begins a piece that does not fit: shorter than the buffer, as long, or
// longer. The lowest and highest high surrogates, and one between.
TEST(Output, WaitingSurrogateCompletedByALongPiece)
{
    for (const wchar_t high : {L'\xD800', L'\xD83D', L'\xDBFF'})
        for (const std::size_t capacity : capacities)
            for (const std::size_t rest : {capacity - 2, capacity - 1, capacity, 2 * capacity}) {
                const std::wstring subject = std::wstring(capacity - 1, L'a') + high + L'=';
                const std::wstring with = L'\xDC00' + std::wstring(rest, L'b');
                EXPECT_EQ(replaced<wchar_t>(subject, L"=", with, capacity),
                          expected_bytes(subject.substr(0, capacity) + with))
                    << "high " << std::hex << int(high) << std::dec << ", buffer of " << capacity
                    << ", then " << rest + 1;
            }
}

#ifdef _WIN32
// A run of units may end anywhere but after the first half of a pair: the
// high surrogates' ends and one between, beside their neighbours and the
// low surrogates' ends.
TEST(EndsCharacter, NotWithAHighSurrogate)
{
    for (const wchar_t unit : {L'\xD800', L'\xD83D', L'\xDBFF'})
        EXPECT_FALSE(ends_character(unit)) << std::hex << int(unit);
    for (const wchar_t unit : {L'a', L'\xD7FF', L'\xDC00', L'\xDFFF', L'\xFFFF'})
        EXPECT_TRUE(ends_character(unit)) << std::hex << int(unit);
}

// Every ANSI code page gets the flag that keeps out look-alikes, but UTF-8,
// which refuses any flag. Wine accepts any flag: only this table shows it.
TEST(ConversionFlags, NoneWhereTheCodePageRefusesThem)
{
    EXPECT_EQ(conversion_flags(CP_UTF8), 0U);
    for (const unsigned int ansi : {874U, 932U, 936U, 949U, 950U, 1250U, 1252U, 1258U})
        EXPECT_EQ(conversion_flags(ansi), DWORD{WC_NO_BEST_FIT_CHARS}) << ansi;
}

// The stack canary's guard is seeded at start-up, not left at the default
// every run would share, and an overrun ends the process as Windows ends
// one, with 0xC0000409.
extern "C" std::uintptr_t __stack_chk_guard;
extern "C" [[noreturn]] void __stack_chk_fail();
TEST(StackGuard, SeededAndFatal)
{
    EXPECT_NE(__stack_chk_guard, 0xBB40E64EU);
    EXPECT_EXIT(__stack_chk_fail(), testing::ExitedWithCode(static_cast<int>(0xC0000409U)), "");
}

// The reader of a pipe goes away: the reason says so.
TEST(Output, ReaderGone)
{
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    ASSERT_NE(CreatePipe(&read_end, &write_end, nullptr, 0), 0);
    CloseHandle(read_end);
    wchar_t buffer[8];
    Output<wchar_t> out = open_output(Stream{write_end, false, CP_UTF8}, buffer, 8);
    put<wchar_t>(out, L"abc");
    EXPECT_FALSE(flush(out));
    EXPECT_EQ(out.error, EPIPE);
    CloseHandle(write_end);
}
#endif

// A stream that misbehaves on purpose. The test is linked with the linker's
// --wrap for write, poll and close (on Windows WriteFile and WriteConsoleW),
// so the Output's own calls come here first: on the stream under test they
// write short or fail as told, what goes to standard error is kept, and
// every other call goes on as it is.
struct Misbehaviour {
    std::size_t most = 0; // bytes (console: units) a write takes at most; 0: all
    std::size_t over = 0; // a write of more than this fails; 0: none
    int fail_at = -1;     // the first write, counting from 0, that fails; -1: none
    int failures = 0;     // how many writes fail from there on
    int error = 0;        // what they fail with: an errno value; a Windows error code
    int empty_at = -1;    // a write that reports success but takes nothing; -1: none
    int poll_error = 0;   // Linux: poll fails with this errno value; 0: it works
    int close_error = 0;  // Linux: close then fails with this errno value; 0: it succeeds
};

struct Trap {
    bool active;
    Stream stream;
    Misbehaviour how;
    int writes;
    std::string console; // the units a console was given, as they lie in memory
    std::string errors;  // what went to standard error
};
Trap trap{};

// A write on the stream under test: false if it fails (its error set where
// the system sets it), otherwise true with `size` cut to what it takes.
template <class Size> bool take(Size &size)
{
    const int write = trap.writes++;
    const bool failing = trap.how.fail_at >= 0 && write >= trap.how.fail_at &&
                         write < trap.how.fail_at + trap.how.failures;
    if (failing || (trap.how.over != 0 && size > trap.how.over)) {
#ifdef _WIN32
        SetLastError(static_cast<DWORD>(trap.how.error));
#else
        errno = trap.how.error;
#endif
        return false;
    }
    if (write == trap.how.empty_at) {
        size = 0;
        errno = EINTR; // as an earlier call left it: a write that succeeds leaves errno be
    }
    if (trap.how.most != 0 && size > trap.how.most)
        size = static_cast<Size>(trap.how.most);
    return true;
}

// The system's calls and what the linker puts in their place, by the names
// CMake gives them (strrepl_wrap): on Windows the import table's entries.
#ifdef _WIN32
using WriteFileCall = BOOL(WINAPI *)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
using WriteConsoleCall = BOOL(WINAPI *)(HANDLE, const VOID *, DWORD, LPDWORD, LPVOID);
extern "C" WriteFileCall real_write_file __asm__(STRREPL_REAL_WriteFile);
extern "C" WriteConsoleCall real_write_console __asm__(STRREPL_REAL_WriteConsoleW);

BOOL WINAPI write_file(HANDLE stream, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED)
{
    if (trap.active && stream == GetStdHandle(STD_ERROR_HANDLE)) {
        trap.errors.append(static_cast<const char *>(data), size);
        *written = size;
        return TRUE;
    }
    if (trap.active && stream == trap.stream.handle && !take(size))
        return FALSE;
    return real_write_file(stream, data, size, written, nullptr);
}

BOOL WINAPI write_console(HANDLE stream, const VOID *data, DWORD size, LPDWORD written, LPVOID)
{
    const auto *units = static_cast<const wchar_t *>(data);
    if (trap.active && stream == GetStdHandle(STD_ERROR_HANDLE))
        trap.errors.append(units, units + size); // the message is ASCII
    else if (!trap.active || stream != trap.stream.handle)
        return real_write_console(stream, data, size, written, nullptr);
    else if (take(size))
        trap.console.append(static_cast<const char *>(data), size * sizeof(wchar_t));
    else
        return FALSE;
    *written = size;
    return TRUE;
}

extern "C" WriteFileCall wrap_write_file __asm__(STRREPL_WRAP_WriteFile);
extern "C" WriteConsoleCall wrap_write_console __asm__(STRREPL_WRAP_WriteConsoleW);
WriteFileCall wrap_write_file = write_file;
WriteConsoleCall wrap_write_console = write_console;
#else
extern "C" ssize_t real_write(int fd, const void *data,
                              std::size_t size) __asm__(STRREPL_REAL_write);
extern "C" int real_poll(pollfd *fds, nfds_t count, int timeout) __asm__(STRREPL_REAL_poll);
extern "C" int real_close(int fd) __asm__(STRREPL_REAL_close);
extern "C" ssize_t wrap_write(int fd, const void *data,
                              std::size_t size) __asm__(STRREPL_WRAP_write);
extern "C" int wrap_poll(pollfd *fds, nfds_t count, int timeout) __asm__(STRREPL_WRAP_poll);
extern "C" int wrap_close(int fd) __asm__(STRREPL_WRAP_close);

ssize_t wrap_write(int fd, const void *data, std::size_t size)
{
    if (trap.active && fd == STDERR_FILENO) {
        trap.errors.append(static_cast<const char *>(data), size);
        return static_cast<ssize_t>(size);
    }
    if (trap.active && fd == trap.stream && !take(size))
        return -1;
    return real_write(fd, data, size);
}

int wrap_poll(pollfd *fds, nfds_t count, int timeout)
{
    if (!trap.active || count != 1 || fds[0].fd != trap.stream || trap.how.poll_error == 0)
        return real_poll(fds, count, timeout);
    errno = trap.how.poll_error;
    return -1;
}

// The stream under test stays open, to be read back.
int wrap_close(int fd)
{
    if (!trap.active || fd != trap.stream)
        return real_close(fd);
    errno = trap.how.close_error;
    return trap.how.close_error == 0 ? 0 : -1;
}
#endif

// A row of deliveries, built by name: row("...").failing(1, 1, ENOSPC).reporting(ENOSPC).
struct Delivery {
    const char *what;
    std::size_t units = 3000; // how much is written
    std::size_t piece = 100;  // in pieces of this many units, each one write
    Misbehaviour how;
    bool flush_each_piece = false;
    bool console = false;       // Windows: written as to a console
    bool late_reader = false;   // Windows: to a pipe of 64 bytes, non-blocking, read late
    unsigned int code_page = 0; // Windows: converted to this; 0: UTF-8
    int expected_error = 0;     // the reason close_output gives (an errno value); 0: all arrives

    Delivery &writing(std::size_t count)
    {
        units = count;
        return *this;
    }
    Delivery &in_one_piece(std::size_t count)
    {
        units = piece = count;
        return *this;
    }
    Delivery &in_pieces_of(std::size_t count)
    {
        piece = count;
        return *this;
    }
    Delivery &refusing_over(std::size_t count)
    {
        how.over = count;
        return *this;
    }
    Delivery &taking_at_most(std::size_t count)
    {
        how.most = count;
        return *this;
    }
    Delivery &failing(int at, int count, int error)
    {
        how.fail_at = at;
        how.failures = count;
        how.error = error;
        return *this;
    }
    Delivery &taking_nothing_at(int write)
    {
        how.empty_at = write;
        return *this;
    }
    Delivery &polling_fails(int error)
    {
        how.poll_error = error;
        return *this;
    }
    Delivery &closing_with(int error)
    {
        how.close_error = error;
        return *this;
    }
    Delivery &flushed_after_each_piece()
    {
        flush_each_piece = true;
        return *this;
    }
    Delivery &to_a_pipe_read_late()
    {
        late_reader = true;
        return *this;
    }
    Delivery &to_console()
    {
        console = true;
        return *this;
    }
    Delivery &in_code_page(unsigned int number)
    {
        code_page = number;
        return *this;
    }
    Delivery &reporting(int error)
    {
        expected_error = error;
        return *this;
    }
};

Delivery row(const char *what)
{
    Delivery d{};
    d.what = what;
    return d;
}

// Each delivery through a stream that misbehaves: all of the text arrives
// and close_output says so, or close_output gives the reason. Either way
// the sink writes nothing to standard error.
TEST(Output, MisbehavingStreams)
{
    const Delivery deliveries[] = {
#ifdef _WIN32
        row("short writes").taking_at_most(1),
        row("short console writes").to_console().taking_at_most(1),
        row("one unit to a console").to_console().writing(1),
        row("a closed pipe").failing(1, 1, ERROR_BROKEN_PIPE).reporting(EPIPE),
        row("a pipe being closed").failing(1, 1, ERROR_NO_DATA).reporting(EPIPE),
        row("a pipe with no reader").failing(0, 1, ERROR_PIPE_NOT_CONNECTED).reporting(EPIPE),
        row("a full disk").failing(1, 1, ERROR_DISK_FULL).reporting(ENOSPC),
        row("a full disk for the handle").failing(1, 1, ERROR_HANDLE_DISK_FULL).reporting(ENOSPC),
        row("no such handle").to_console().failing(0, 1, ERROR_INVALID_HANDLE).reporting(EBADF),
        row("a read-only handle").failing(0, 1, ERROR_ACCESS_DENIED).reporting(EACCES),
        row("any other error").failing(1, 1, ERROR_GEN_FAILURE).reporting(EIO),
        row("a non-blocking pipe, read late").to_a_pipe_read_late(),
        row("a console write taking nothing").to_console().taking_nothing_at(1).reporting(ENOSPC),
        row("a console refusing long writes").to_console().in_one_piece(9000).refusing_over(4096),
        row("fails in a piece").in_one_piece(9000).failing(1, 1, ERROR_DISK_FULL).reporting(ENOSPC),
        row("a long piece after a failure")
            .in_pieces_of(1000)
            .failing(0, 1, ERROR_DISK_FULL)
            .reporting(ENOSPC),
        row("a conversion that fails: no code page 99").in_code_page(99).reporting(EIO),
#else
        // First, while descriptor 1 is the test program's own: a close of it in
        // place of the stream under test shows here.
        row("nothing, then close fails").writing(0).closing_with(EIO).reporting(EIO),
        row("short writes").taking_at_most(1),
        row("interrupted").failing(0, 1, EINTR),
        row("non-blocking and full").failing(1, 2, EAGAIN),
        row("a full disk").failing(1, 1 << 20, ENOSPC).reporting(ENOSPC),
        row("a lost write told by close").closing_with(EDQUOT).reporting(EDQUOT),
        row("close interrupted").closing_with(EINTR),
        row("never open").writing(0).closing_with(EBADF),
        row("the first reason stays").failing(1, 1, ENOSPC).closing_with(EIO).reporting(ENOSPC),
        row("fails in a piece")
            .in_one_piece(3000)
            .taking_at_most(1000)
            .failing(1, 1, ENOSPC)
            .reporting(ENOSPC),
        row("a long piece after a failure")
            .in_pieces_of(1000)
            .failing(0, 1, ENOSPC)
            .reporting(ENOSPC),
        row("full, wait interrupted").failing(1, 2, EAGAIN).polling_fails(EINTR),
        row("full, wait fails").failing(1, 2, EAGAIN).polling_fails(ENOMEM).reporting(ENOMEM),
#endif
        row("flushed after each piece").flushed_after_each_piece(),
        row("a write that takes nothing").taking_nothing_at(1).reporting(ENOSPC),
    };
    for (const auto &d : deliveries) {
        std::basic_string<Unit> text;
        for (std::size_t i = 0; i < d.units; ++i)
            text.push_back(static_cast<Unit>('a' + i % 26));
        TempFile f;
        ASSERT_NE(f.file, nullptr);
        std::basic_string<Unit> buffer(256, Unit{});
        Output<Unit> out = open_output(f.stream(), buffer.data(), buffer.size());
#ifdef _WIN32
        out.stream.console = d.console;
        if (d.code_page != 0)
            out.stream.code_page = d.code_page;
        std::thread reader; // the pipe's, which puts what it reads in the file
        if (d.late_reader) {
            HANDLE read_end = nullptr;
            DWORD mode = PIPE_NOWAIT; // as the process that hands it over may set it
            ASSERT_NE(CreatePipe(&read_end, &out.stream.handle, nullptr, 64), 0);
            ASSERT_NE(SetNamedPipeHandleState(out.stream.handle, &mode, nullptr, nullptr), 0);
            reader = std::thread([read_end, &f] {
                Sleep(100);
                char chunk[4096];
                for (DWORD n; ReadFile(read_end, chunk, sizeof chunk, &n, nullptr) != 0;)
                    std::fwrite(chunk, 1, n, f.file);
                CloseHandle(read_end);
            });
        }
#endif
        trap = {true, out.stream, d.how, 0, {}, {}};
        for (std::size_t i = 0; i < text.size(); i += d.piece) {
            put(out, text.data() + i, std::min(d.piece, text.size() - i));
            if (d.flush_each_piece)
                flush(out);
        }
        const int error = close_output(out);
        trap.active = false;
#ifdef _WIN32
        if (d.late_reader) {
            CloseHandle(out.stream.handle);
            reader.join();
        }
#endif
        EXPECT_EQ(error, d.expected_error) << d.what;
        EXPECT_EQ(trap.errors, "") << d.what;
        if (d.expected_error == 0) {
            EXPECT_EQ(d.console ? trap.console : f.bytes(),
                      d.console ? in_memory(text) : expected_bytes(text))
                << d.what;
        } else {
            // After the first failure nothing more is attempted.
            const int failed_at = d.how.fail_at >= 0 ? d.how.fail_at : d.how.empty_at;
            if (failed_at >= 0) {
                EXPECT_EQ(trap.writes, failed_at + 1) << d.what;
            }
        }
    }
}

TEST(MatchPrefix, Table)
{
    struct Row {
        std::string_view text, search;
        std::size_t expected;
    };
    const Row rows[] = {
        {"abc", "ab", 2},
        {"abc", "", 0},
        {"", "", 0},
        {"ab", "abc", 0},
        {"abd", "abc", 0},
        {"Abc", "a", 0},
        {"0123456789abcdefX", "0123456789abcdef", 16},
        {"0123456789abcdefgh", "0123456789abcdefg", 17},
        {"0123456789abcdefXh", "0123456789abcdefg", 0}, // differs past the inline head
    };
    for (const auto &r : rows)
        EXPECT_EQ(match_prefix(r.text, r.search), r.expected)
            << "text \"" << escaped(r.text) << "\", search \"" << escaped(r.search) << '"';
}

TEST(MatchPrefix, ReadsNoFurtherThanTheText)
{
    // The view ends before the buffer does: the bytes beyond must not count.
    const char buffer[] = "abcd";
    EXPECT_EQ(match_prefix<char>({buffer, 2}, "abc"), 0U);
    EXPECT_EQ(match_prefix<char>({buffer, 3}, "abc"), 3U);
}

} // namespace
