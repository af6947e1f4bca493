#include "trakmillProgress.h"

std::int32_t FixMul(std::int32_t a, std::int32_t b) {
    const std::int64_t product = std::int64_t{a} * b;
    return static_cast<std::int32_t>((product + 0x8000) >> 16);
}

std::int32_t Long2Fix(long value) {
    return static_cast<std::int32_t>(value * 0x10000);
}

long Fix2Long(std::int32_t value) {
    return (std::int64_t{value} + 0x8000) >> 16;
}

void MovieProgressPrinter::operator()(std::int32_t fraction) {
    if (!hasProgress_) {
        if (isTty_)
            std::fputs("pourcentage    :   0.0\n", stream_);
        else
            infoPrint_("0%\n");
        std::fflush(stderr);
        hasProgress_ = true;
    }
    if (fraction > previousStatus_) {
        previousStatus_ = fraction;
        std::fprintf(stream_, "pourcentage    : %3ld.0\n",
                     Fix2Long(FixMul(fraction, Long2Fix(100))));
        std::fflush(stream_);
    }
}
