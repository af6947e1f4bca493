// What a row may have, as one rule for the table's cells, the preferences window, the terminal
// and the correction of a new row's choice.
#include "controller/rowAllowance.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

/// The blocks of the three segments as letters: "." allowed, "E" no encoder, "S" source below
/// 31 frames/s, "R" rewrap keeps every frame.
std::string blocks(const std::array<rowBlock, 3> &row) {
    std::string out;
    for (const rowBlock block : row) {
        switch (block) {
        case rowBlock::none:
            out += '.';
            break;
        case rowBlock::noEncoder:
            out += 'E';
            break;
        case rowBlock::sourceBelow31:
            out += 'S';
            break;
        case rowBlock::rewrapKeeps:
            out += 'R';
            break;
        }
    }
    return out;
}

} // namespace

// Each case: the choice, the source's rate (none: the defaults of new rows), the encoders; then
// which formats and modes may be chosen and the choice as it must be. The case marked "was" is
// where the places that asked answered differently before: the table's cell offered half rate
// to a row whose format has no encoder here, while the correction of new rows rewrapped that row
// and took half rate away.
TEST(rowAllowance, formatsAndModesByEncoderAndSource) {
    struct allowanceCase {
        const char *what;
        rowAllowanceFacts facts;
        const char *formats;
        const char *rates;
        int32_t format;
        int32_t rate;
    };
    const std::optional<double> none;
    const allowanceCase cases[] = {
        {"50 fps in ProRes: everything",
         {outProres, fpsHalf, 50.0, false, true},
         ".E.",
         "...",
         outProres,
         fpsHalf},
        {"50 fps rewrapped: half rate needs an export",
         {outRewrap, fpsHalf, 50.0, false, true},
         ".E.",
         ".R.",
         outRewrap,
         fpsNormal},
        {"25 fps: neither half rate nor slow motion, the rate comes first",
         {outProres, fpsSlow, 25.0, false, true},
         ".E.",
         ".SS",
         outProres,
         fpsNormal},
        {"25 fps rewrapped: the source's rate is the reason given",
         {outRewrap, fpsHalf, 25.0, true, true},
         "...",
         ".SS",
         outRewrap,
         fpsNormal},
        {"31 fps counts as fast",
         {outAic, fpsHalf, 31.0, true, false},
         "..E",
         "...",
         outAic,
         fpsHalf},
        {"30.99 fps does not",
         {outAic, fpsSlow, 30.99, true, false},
         "..E",
         ".SS",
         outAic,
         fpsNormal},
        {"was: AIC without its encoder is rewrapped, so no half rate",
         {outAic, fpsHalf, 50.0, false, true},
         ".E.",
         ".R.",
         outRewrap,
         fpsNormal},
        {"ProRes without its encoder is rewrapped; slow motion stays",
         {outProres, fpsSlow, 60.0, true, false},
         "..E",
         ".R.",
         outRewrap,
         fpsSlow},
        {"no encoder at all: rewrap only",
         {outAic, fpsNormal, 50.0, false, false},
         ".EE",
         ".R.",
         outRewrap,
         fpsNormal},
        {"new rows' defaults: half rate with an export, whatever the source",
         {outProres, fpsHalf, none, false, true},
         ".E.",
         "...",
         outProres,
         fpsHalf},
        {"new rows' defaults: half rate still needs an export",
         {outRewrap, fpsHalf, none, false, true},
         ".E.",
         ".R.",
         outRewrap,
         fpsNormal},
        {"a choice out of range is rewrap and normal",
         {7, -1, 50.0, true, true},
         "...",
         ".R.",
         outRewrap,
         fpsNormal},
    };
    for (const allowanceCase &c : cases) {
        const rowAllowanceValue allowed = rowAllowance(c.facts);
        EXPECT_EQ(blocks(allowed.formats), c.formats) << c.what;
        EXPECT_EQ(blocks(allowed.rates), c.rates) << c.what;
        EXPECT_EQ(allowed.format, c.format) << c.what;
        EXPECT_EQ(allowed.rate, c.rate) << c.what;
        EXPECT_EQ(allowed.formatCorrected, c.format != c.facts.format) << c.what;
        EXPECT_EQ(allowed.rateCorrected, c.rate != c.facts.rate) << c.what;
        // The corrected choice is always one the row may have.
        EXPECT_TRUE(allowed.formatAllowed(allowed.format)) << c.what;
        EXPECT_TRUE(allowed.rateAllowed(allowed.rate)) << c.what;
    }
}
