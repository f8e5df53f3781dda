// The scan: every occurrence of a string inside another replaced, exactly.
// Called by main.cpp, and by the tests and benchmarks.
//
// The replacement works on code units of one character type: bytes on Linux,
// UTF-16 code units on Windows, where operands arrive as UTF-16. Results go to
// an Output (output.h), through a Writer.
#ifndef STRREPL_REPLACE_H
#define STRREPL_REPLACE_H

#include "output.h"

#include <cstddef>
#include <string>
#include <string_view>

// Length of `search` if `text` begins with all of it, otherwise 0.
// An empty search string never matches, so it gives 0 too. The comparison
// runs from the first unit to the first difference: its head here, a long
// tail in the library's comparison.
template <class Char>
inline std::size_t match_prefix(std::basic_string_view<Char> text,
                                std::basic_string_view<Char> search)
{
    const std::size_t m = search.size();
    if (m == 0 || text.size() < m)
        return 0;
    const std::size_t head = m < 16 ? m : 16;
    for (std::size_t i = 0; i < head; ++i)
        if (text[i] != search[i])
            return 0;
    if (head < m &&
        std::char_traits<Char>::compare(text.data() + head, search.data() + head, m - head) != 0)
        return 0;
    return m;
}

// How many units replace_all looks at one by one for the next candidate (a
// unit equal to the search string's first); past them the library's search
// (vectorised, but a call) takes the rest of the gap.
constexpr std::size_t short_gap = 8;

// Writes `subject` to `out` with every occurrence of `search` replaced by
// `replacement`: leftmost first, never overlapping, the replacement never
// rescanned; an empty `search` leaves the subject as it is. The result
// streams out through the buffer of `out`, never held whole.
template <class Char>
void replace_all(std::basic_string_view<Char> subject, std::basic_string_view<Char> search,
                 std::basic_string_view<Char> replacement, Output<Char> &out);

#endif
