/*
 * Shared by the double-byte tests: sample texts in the ANSI code page in
 * force, whose characters end in 0x5C, the backslash. Wine takes the code
 * page from LC_ALL (ja_JP gives 932, zh_CN 936); the suite runs these
 * tests once per such locale, and they fail under any other code page.
 * The texts are byte escapes, so that the sources stay ASCII.
 */
#ifndef TESTS_UTIL_DBCSTEST_H
#define TESTS_UTIL_DBCSTEST_H

#include <windows.h>
#include <string>

struct DoubleByteSample
{
    UINT codePage;
    /* One character whose second byte is 0x5C. */
    const char *character;
    /* A folder name of two characters that ends in 0x5C. */
    const char *folder;
    /* Two formats for the user's overrides whose separators are
     * double-byte characters. */
    const char *shortDate;
    const char *timeFormat;
};

static const DoubleByteSample doubleByteSamples[] =
{
    { 932,
      "\x95\x5C",                               /* HYOU, U+8868 */
      "\x8B\x40\x94\x5C",                       /* KINOU, U+6A5F U+80FD */
      "yyyy\x94\x4EMM\x8C\x8E" "dd\x93\xFA",    /* year, month, day: U+5E74 U+6708 U+65E5 */
      "H\x8E\x9Emm\x95\xAAss\x95\x62" },        /* hour, minute, second: U+6642 U+5206 U+79D2 */
    { 936,
      "\x95\x5C",                               /* BING, U+661E */
      "\xB1\xED\x95\x5C",                       /* BIAO BING, U+8868 U+661E */
      "yyyy\xC4\xEAMM\xD4\xC2" "dd\xC8\xD5",    /* year, month, day: U+5E74 U+6708 U+65E5 */
      "H\xCA\xB1mm\xB7\xD6ss\xC3\xEB" },        /* hour, minute, second: U+65F6 U+5206 U+79D2 */
};

/* The sample of the code page in force, or NULL when it has none. */
inline const DoubleByteSample *CodePageSample()
{
    for (const DoubleByteSample &sample : doubleByteSamples)
        if (sample.codePage == GetACP())
            return &sample;
    return NULL;
}

/* The text count times over. */
inline std::string Repeated(const std::string &text, int count)
{
    std::string all;
    for (int i = 0; i < count; i++)
        all += text;
    return all;
}

/* Fails the test unless the code page in force is one with a sample: the
 * suite runs the double-byte tests (named *DoubleByte*) under such
 * locales only, so another one means the test could not run. */
#define REQUIRE_DOUBLE_BYTE_SAMPLE(sample)                                  \
    const DoubleByteSample *sample = CodePageSample();                     \
    if (!sample)                                                           \
    {                                                                      \
        FAIL() << "code page " << GetACP() << " is not double-byte";       \
    }

#endif
