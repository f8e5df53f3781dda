#include "strrepl.h"

#include <cstring>

std::size_t match_prefix(std::string_view text, std::string_view search)
{
    if (search.empty() || text.size() < search.size())
        return 0;
    return std::memcmp(text.data(), search.data(), search.size()) == 0 ? search.size() : 0;
}

static bool put(const char *data, std::size_t size, std::FILE *out)
{
    return size == 0 || std::fwrite(data, 1, size, out) == size;
}

bool replace_all(std::string_view subject, std::string_view search, std::string_view replacement,
                 std::FILE *out)
{
    const char *pos = subject.data();
    const char *const end = pos + subject.size();
    const char *run = pos; // start of the bytes not yet written
    if (!search.empty()) {
        const int first = static_cast<unsigned char>(search.front());
        // Fewer bytes than the search string left: nothing more can match.
        while (static_cast<std::size_t>(end - pos) >= search.size()) {
            const auto candidates = static_cast<std::size_t>(end - pos) - search.size() + 1;
            const void *hit = std::memchr(pos, first, candidates);
            if (hit == nullptr)
                break;
            pos = static_cast<const char *>(hit);
            const std::size_t matched =
                match_prefix(std::string_view(pos, static_cast<std::size_t>(end - pos)), search);
            if (matched == 0) {
                ++pos;
                continue;
            }
            if (!put(run, static_cast<std::size_t>(pos - run), out) ||
                !put(replacement.data(), replacement.size(), out))
                return false;
            pos += matched;
            run = pos;
        }
    }
    return put(run, static_cast<std::size_t>(end - run), out);
}
