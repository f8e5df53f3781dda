// replace_all: the scan declared in replace.h. It reaches its Output only
// through a Writer.
#include "replace.h"

template <class Char>
void replace_all(std::basic_string_view<Char> subject, std::basic_string_view<Char> search,
                 std::basic_string_view<Char> replacement, Output<Char> &out)
{
    Writer<Char> writer(out);
    const Char *const end = subject.data() + subject.size();
    const Char *run = subject.data(); // start of what is not yet written
    const std::size_t m = search.size();
    if (m == 0 || subject.size() < m) {
        writer.put(run, subject.size());
        writer.hand_back();
        return;
    }
    // A match can start before `last` only.
    const Char *const last = end - m + 1;
    const Char first = search.front();

    // A short replacement is copied from a block of its own, long enough for
    // the writer's fixed-size copy.
    constexpr std::size_t fixed_copy = Writer<Char>::fixed_copy;
    Char padded[fixed_copy] = {};
    const Char *with = replacement.data();
    const Char *with_end = with + replacement.size();
    if (replacement.size() <= fixed_copy) {
        std::char_traits<Char>::copy(padded, with, replacement.size());
        with = padded;
        with_end = padded + fixed_copy;
    }

    const Char *pos = run; // the position under test
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
        // The gap before the match, read up to the subject's end.
        if (pos != run)
            writer.put(run, static_cast<std::size_t>(pos - run), end);
        writer.put(with, replacement.size(), with_end);
        pos += n;
        run = pos;
    }
    writer.put(run, static_cast<std::size_t>(end - run));
    writer.hand_back();
}

template void replace_all(std::basic_string_view<Unit>, std::basic_string_view<Unit>,
                          std::basic_string_view<Unit>, Output<Unit> &);
#ifndef _WIN32
// The scan over wide units, for its tests; the tool's link leaves it out.
template void replace_all(std::wstring_view, std::wstring_view, std::wstring_view,
                          Output<wchar_t> &);
#endif
