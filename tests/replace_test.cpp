#include "strrepl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace
{

// Runs replace_all into a temporary file and reads back exactly what it wrote.
std::string replaced(std::string_view subject, std::string_view search, std::string_view with)
{
    std::FILE *f = std::tmpfile();
    if (f == nullptr) {
        ADD_FAILURE() << "tmpfile failed";
        return {};
    }
    EXPECT_TRUE(replace_all(subject, search, with, f));
    std::string out;
    std::rewind(f);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    (void)std::fclose(f);
    return out;
}

struct Replacement {
    const char *subject, *search, *with, *expected;
};

const Replacement replacements[] = {
    {"abcabc", "bc", "X", "aXaX"},
    {"aaa", "aa", "b", "ba"},       // leftmost first, never overlapping
    {"abababa", "aba", "X", "XbX"}, // the scan resumes after the match
    {"ab", "b", "bb", "abb"},       // the replacement is not rescanned
    {"aa", "a", "aa", "aaaa"},
    {"abc", "", "X", "abc"}, // an empty search string never matches
    {"", "", "", ""},
    {"", "a", "b", ""},
    {"abcabc", "bc", "", "aa"},   // an empty replacement removes
    {"ab", "abc", "X", "ab"},     // longer than the whole subject
    {"xxab", "abc", "X", "xxab"}, // longer than the rest of the subject
    {"aaaa", "aab", "X", "aaaa"}, // a partial match runs into the end
    {"abc", "abc", "Z", "Z"},     // the whole subject
    {"xyab", "ab", "Q", "xyQ"},   // at the very end
    {"abxy", "ab", "Q", "Qxy"},   // at the very start
    {"aab", "ab", "X", "aX"},     // first byte seen again after a miss
    {"a", "A", "b", "a"},         // case-sensitive
    {"x", "a", "b", "x"},
    {"a.b*c", ".b*", "?", "a?c"}, // no pattern characters
    {"%s%n", "%n", "%d", "%s%d"},
    {"\xc3\xa9t\xc3\xa9", "\xa9t\xc3", "-", "\xc3-\xa9"}, // inside multibyte characters
    {"\xff\x80\xff", "\xff", "\x01", "\x01\x80\x01"},
    {"a\r\nb\n", "\n", "\r\n", "a\r\r\nb\r\n"},
};

TEST(ReplaceAll, Table)
{
    for (const auto &r : replacements)
        EXPECT_EQ(replaced(r.subject, r.search, r.with), r.expected)
            << "subject \"" << r.subject << "\", search \"" << r.search << "\", with \"" << r.with
            << '"';
}

TEST(ReplaceAll, EmbeddedNulIsAnOrdinaryByte)
{
    using namespace std::string_literals;
    EXPECT_EQ(replaced("a\0b\0"s, "\0"s, "--"s), "a--b--");
    EXPECT_EQ(replaced("\0\0\0"s, "\0\0"s, "x"s), "x\0"s);
}

TEST(ReplaceAll, ResultsFarLargerThanAnyBuffer)
{
    const std::string subject(10000, 'a');
    const std::string with(1000, 'z');
    const std::string out = replaced(subject, "a", with);
    ASSERT_EQ(out.size(), subject.size() * with.size());
    EXPECT_EQ(out.find_first_not_of('z'), std::string::npos);
}

#ifdef __linux__
TEST(ReplaceAll, ReportsAFailedWrite)
{
    std::FILE *full = std::fopen("/dev/full", "w");
    ASSERT_NE(full, nullptr);
    (void)std::setvbuf(full, nullptr, _IONBF, 0);
    EXPECT_FALSE(replace_all("abc", "b", "X", full));
    (void)std::fclose(full);
}
#endif

struct Prefix {
    const char *text, *search;
    std::size_t expected;
};

const Prefix prefixes[] = {
    {"abc", "ab", 2}, {"abc", "abc", 3}, {"ab", "abc", 0}, {"abc", "", 0},    {"", "", 0},
    {"", "a", 0},     {"abc", "b", 0},   {"Abc", "a", 0},  {"abd", "abc", 0},
};

TEST(MatchPrefix, Table)
{
    for (const auto &p : prefixes)
        EXPECT_EQ(match_prefix(p.text, p.search), p.expected)
            << "text \"" << p.text << "\", search \"" << p.search << '"';
}

TEST(MatchPrefix, ReadsNoFurtherThanTheText)
{
    // The view ends before the buffer does: the bytes beyond must not count.
    const char buffer[] = "abcd";
    EXPECT_EQ(match_prefix(std::string_view(buffer, 2), "abc"), 0U);
    EXPECT_EQ(match_prefix(std::string_view(buffer, 3), "abc"), 3U);
}

} // namespace
