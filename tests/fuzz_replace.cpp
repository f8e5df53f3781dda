// Fuzz target: replace_all against the most obvious model of it.
//
// Input layout: byte 0 is the search string's length, byte 1 the
// replacement's (each cut to what is there), then the search string, the
// replacement, and the rest is the subject.
#include "strrepl.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace
{

// Each operand gets an allocation of exactly its size, so that
// AddressSanitizer catches a read one byte past its end.
struct Operand {
    std::unique_ptr<char[]> bytes;
    std::size_t size;
    std::string_view view() const { return {bytes.get(), size}; }
};

Operand take(const std::uint8_t *&data, std::size_t size)
{
    Operand op{std::make_unique<char[]>(size), size};
    if (size > 0)
        std::memcpy(op.bytes.get(), data, size);
    data += size;
    return op;
}

std::string model(std::string_view subject, std::string_view search, std::string_view with,
                  std::size_t &matches)
{
    matches = 0;
    if (search.empty())
        return std::string(subject);
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = subject.find(search, pos)) != std::string_view::npos;
         pos = hit + search.size()) {
        out.append(subject, pos, hit - pos);
        out.append(with);
        ++matches;
    }
    out.append(subject, pos);
    return out;
}

[[noreturn]] void fail(const char *what)
{
    (void)std::fprintf(stderr, "fuzz_replace: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::size_t rest = size - 2;
    const std::size_t search_size = data[0] < rest ? data[0] : rest;
    rest -= search_size;
    const std::size_t with_size = data[1] < rest ? data[1] : rest;
    rest -= with_size;
    data += 2;
    const Operand search = take(data, search_size);
    const Operand with = take(data, with_size);
    const Operand subject = take(data, rest);

    char *written = nullptr;
    std::size_t written_size = 0;
    std::FILE *out = open_memstream(&written, &written_size);
    if (out == nullptr)
        fail("open_memstream failed");
    const bool ok = replace_all(subject.view(), search.view(), with.view(), out);
    (void)std::fclose(out);
    const std::string result(written, written_size);
    std::free(written);

    std::size_t matches = 0;
    const std::string expected = model(subject.view(), search.view(), with.view(), matches);
    if (!ok)
        fail("replace_all reported a failed write");
    if (result != expected)
        fail("result differs from the model");
    if (result.size() + matches * search.size != subject.size + matches * with.size)
        fail("result length breaks the length rule");
    return 0;
}
