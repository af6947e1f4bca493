// trakmill's progress procedure: the lines Fluxaro reads while a movie is written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

/// 16.16 fixed-point arithmetic as the movie toolbox rounds it.
std::int32_t FixMul(std::int32_t a, std::int32_t b);
std::int32_t Long2Fix(long value);
long Fix2Long(std::int32_t value);

/// One run's progress state. The first call writes "pourcentage    :   0.0" on standard error
/// when standard output is a terminal, else "0%" on the info stream; every call with a larger
/// fraction writes "pourcentage    : %3ld.0" with the percentage on standard error.
class MovieProgressPrinter {
public:
    MovieProgressPrinter(bool isTty, std::function<void(const char *)> infoPrint,
                         std::FILE *progressStream = stderr)
        : isTty_(isTty), infoPrint_(std::move(infoPrint)), stream_(progressStream) {}

    void operator()(std::int32_t fraction);

private:
    bool isTty_;
    std::function<void(const char *)> infoPrint_;
    std::FILE *stream_;
    bool hasProgress_ = false;
    std::int32_t previousStatus_ = 0;
};
