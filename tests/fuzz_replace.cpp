// Fuzz target: replace_all against the most obvious model of it.
//
// Input layout: byte 0 is the search string's length, byte 1 the
// replacement's (each cut to what is there), byte 2 picks the unit type
// (odd: wide units, one per byte) and the Output's buffer size, then come
// the search string, the replacement, and the rest is the subject.
#include "replace.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace
{

[[noreturn]] void fail(const char *what)
{
    (void)std::fprintf(stderr, "fuzz_replace: %s\n", what);
    std::abort();
}

// Each operand gets an allocation of exactly its size, so that
// AddressSanitizer catches a read one unit past its end.
template <class Char> struct Operand {
    std::unique_ptr<Char[]> units;
    std::size_t size;
    std::basic_string_view<Char> view() const { return {units.get(), size}; }
};

template <class Char> Operand<Char> take(const std::uint8_t *&data, std::size_t size)
{
    Operand<Char> op{std::make_unique<Char[]>(size), size};
    for (std::size_t i = 0; i < size; ++i)
        op.units[i] = static_cast<Char>(data[i]);
    data += size;
    return op;
}

template <class Char>
std::basic_string<Char> model(std::basic_string_view<Char> subject,
                              std::basic_string_view<Char> search,
                              std::basic_string_view<Char> with)
{
    if (search.empty())
        return std::basic_string<Char>(subject);
    std::basic_string<Char> out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = subject.find(search, pos)) != subject.npos;
         pos = hit + search.size()) {
        out.append(subject, pos, hit - pos);
        out.append(with);
    }
    out.append(subject, pos);
    return out;
}

// What replace_all wrote, read back from the file under the Output.
template <class Char> std::basic_string<Char> read_back(int fd)
{
    const off_t size = lseek(fd, 0, SEEK_CUR);
    std::basic_string<Char> units(static_cast<std::size_t>(size) / sizeof(Char), Char{});
    if (pread(fd, units.data(), static_cast<std::size_t>(size), 0) != size)
        fail("reading the result back failed");
    return units;
}

template <class Char>
void check(const std::uint8_t *data, std::size_t search_size, std::size_t with_size,
           std::size_t rest, std::size_t capacity)
{
    const auto search = take<Char>(data, search_size);
    const auto with = take<Char>(data, with_size);
    const auto subject = take<Char>(data, rest);

    const int fd = memfd_create("fuzz_replace", 0);
    if (fd < 0)
        fail("memfd_create failed");
    std::basic_string<Char> buffer(capacity, Char{});
    Output<Char> out = open_output(fd, buffer.data(), capacity);
    replace_all(subject.view(), search.view(), with.view(), out);
    if (!flush(out))
        fail("the Output reported a failed write");
    const std::basic_string<Char> result = read_back<Char>(fd);
    (void)close(fd);

    if (result != model(subject.view(), search.view(), with.view()))
        fail("result differs from the model");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    std::size_t rest = size - 3;
    const std::size_t search_size = data[0] < rest ? data[0] : rest;
    rest -= search_size;
    const std::size_t with_size = data[1] < rest ? data[1] : rest;
    rest -= with_size;
    const bool wide = (data[2] & 1U) != 0;
    // From the smallest buffer an Output takes to one that rarely fills.
    const std::size_t mode = data[2];
    const std::size_t capacity = 2 + (mode >> 1U) % 8 * (mode >= 128 ? 64 : 1);
    if (wide)
        check<wchar_t>(data + 3, search_size, with_size, rest, capacity);
    else
        check<char>(data + 3, search_size, with_size, rest, capacity);
    return 0;
}
