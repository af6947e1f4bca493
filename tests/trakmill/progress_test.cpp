// The progress lines Fluxaro parses while trakmill writes.
#include "trakmillProgress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::int32_t fixed(double fraction) {
    return static_cast<std::int32_t>(fraction * 65536 + 0.5);
}

struct Captured {
    std::string progress;
    std::string info;
};

Captured feed(bool isTty, std::initializer_list<double> fractions) {
    Captured c;
    std::FILE *stream = std::tmpfile();
    {
        MovieProgressPrinter printer(
            isTty, [&](const char *text) { c.info += text; }, stream);
        for (double f : fractions)
            printer(fixed(f));
    }
    std::rewind(stream);
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        c.progress.append(buffer, got);
    std::fclose(stream);
    return c;
}

} // namespace

TEST(TrakmillProgress, OneLinePerIncreaseEvenWithTheSamePercentage) {
    const Captured c = feed(false, {0, 0.101, 0.105, 0.5, 0.5, 1});
    EXPECT_EQ(c.info, "0%\n");
    EXPECT_EQ(c.progress, "pourcentage    :  10.0\n"
                          "pourcentage    :  10.0\n"
                          "pourcentage    :  50.0\n"
                          "pourcentage    : 100.0\n");
}

TEST(TrakmillProgress, FirstCallLineOnATerminalAndNarrowNumbers) {
    const Captured c = feed(true, {0.07});
    EXPECT_EQ(c.info, "");
    EXPECT_EQ(c.progress, "pourcentage    :   0.0\npourcentage    :   7.0\n");
}

TEST(TrakmillProgress, FixedPointArithmetic) {
    EXPECT_EQ(Fix2Long(FixMul(0x10000, Long2Fix(100))), 100);
    EXPECT_EQ(Fix2Long(FixMul(0x8000, Long2Fix(100))), 50);
    EXPECT_EQ(Fix2Long(Long2Fix(-3)), -3);
}
