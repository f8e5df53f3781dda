#include "replace.h"

#include <cstring>

namespace
{

// Candidates this close are found by looking at each unit here; past that
// the library's search (vectorised, but a call) takes the rest of the gap.
constexpr std::size_t short_gap = 8;
// Pieces up to this long are copied as one fixed-size block.
constexpr std::size_t short_piece = 16;

} // namespace

template <class Char>
void replace_all(std::basic_string_view<Char> subject, std::basic_string_view<Char> search,
                 std::basic_string_view<Char> replacement, Output<Char> &out)
{
    const std::size_t m = search.size();
    if (m == 0 || subject.size() < m) {
        put(out, subject);
        return;
    }
    const Char *const end = subject.data() + subject.size();
    // A match can start before `last` only.
    const Char *const last = end - m + 1;
    const Char first = search.front();

    // The write cursor lives here, in a register, while the scan runs: the
    // Output sees it again only when a piece does not fit.
    Char *cursor = out.buffer + out.size;
    Char *limit = out.buffer + out.capacity;
    const auto emit = [&](const Char *piece, std::size_t size, const Char *readable_end) {
        const auto room = static_cast<std::size_t>(limit - cursor);
        if (size <= short_piece && room >= short_piece &&
            static_cast<std::size_t>(readable_end - piece) >= short_piece) {
            // One fixed-size copy, however short the piece: the units past it
            // are read from the same operand and overwritten later.
            std::memcpy(cursor, piece, short_piece * sizeof(Char));
        } else if (size <= room) {
            std::char_traits<Char>::copy(cursor, piece, size);
        } else {
            out.size = static_cast<std::size_t>(cursor - out.buffer);
            spill(out, piece, size);
            cursor = out.buffer + out.size;
            limit = out.buffer + out.capacity;
            return;
        }
        cursor += size;
    };
    // A short replacement is copied from a block of its own, long enough for
    // the fixed-size copy.
    Char padded[short_piece] = {};
    const Char *with = replacement.data();
    const Char *with_end = with + replacement.size();
    if (replacement.size() <= short_piece) {
        std::char_traits<Char>::copy(padded, with, replacement.size());
        with = padded;
        with_end = padded + short_piece;
    }

    const Char *run = subject.data(); // start of what is not yet written
    const Char *pos = run;            // the position under test
    while (pos < last) {
        // The next unit equal to the search string's first: near ones here,
        // far ones by the library's search.
        const Char *const near =
            static_cast<std::size_t>(last - pos) > short_gap ? pos + short_gap : last;
        while (pos < near && *pos != first)
            ++pos;
        if (pos == near) {
            if (pos == last)
                break;
            pos = std::char_traits<Char>::find(pos, static_cast<std::size_t>(last - pos), first);
            if (pos == nullptr)
                break;
        }
        const std::size_t n =
            match_prefix<Char>({pos, static_cast<std::size_t>(end - pos)}, search);
        if (n == 0) {
            ++pos;
            continue;
        }
        if (pos != run)
            emit(run, static_cast<std::size_t>(pos - run), end);
        emit(with, replacement.size(), with_end);
        pos += n;
        run = pos;
    }
    out.size = static_cast<std::size_t>(cursor - out.buffer);
    put(out, run, static_cast<std::size_t>(end - run));
}

template void replace_all(std::basic_string_view<Unit>, std::basic_string_view<Unit>,
                          std::basic_string_view<Unit>, Output<Unit> &);
#ifndef _WIN32
// The scan over wide units, for its tests.
template void replace_all(std::wstring_view, std::wstring_view, std::wstring_view,
                          Output<wchar_t> &);
#endif
