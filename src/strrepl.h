// strrepl: replace every occurrence of a string inside another, byte for byte.
#ifndef STRREPL_STRREPL_H
#define STRREPL_STRREPL_H

#include <cstddef>
#include <cstdio>
#include <string_view>

// Length of `search` if `text` begins with all of it, otherwise 0.
// An empty search string never matches, so it gives 0 too.
std::size_t match_prefix(std::string_view text, std::string_view search);

// Writes `subject` to `out` with every occurrence of `search` replaced by
// `replacement`: leftmost first, never overlapping, the replacement never
// rescanned; an empty `search` leaves the subject as it is. The result is
// streamed in pieces and never held in memory. Returns false as soon as a
// write fails (errno tells why), true once every piece has been handed over.
bool replace_all(std::string_view subject, std::string_view search, std::string_view replacement,
                 std::FILE *out);

#endif
