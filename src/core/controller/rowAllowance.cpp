#include "controller/rowAllowance.h"

namespace {

bool inRange(int32_t segment) {
    return segment >= 0 && segment < 3;
}

} // namespace

bool rowAllowanceValue::formatAllowed(int32_t format) const {
    return inRange(format) && formats.at(static_cast<size_t>(format)) == rowBlock::none;
}

bool rowAllowanceValue::rateAllowed(int32_t rate) const {
    return inRange(rate) && rates.at(static_cast<size_t>(rate)) == rowBlock::none;
}

rowAllowanceValue rowAllowance(const rowAllowanceFacts &facts) {
    rowAllowanceValue allowed;
    if (!facts.aicAvailable) {
        allowed.formats[outAic] = rowBlock::noEncoder;
    }
    if (!facts.proresAvailable) {
        allowed.formats[outProres] = rowBlock::noEncoder;
    }
    allowed.format = allowed.formatAllowed(facts.format) ? facts.format : outRewrap;
    allowed.formatCorrected = allowed.format != facts.format;

    // The source's rate is the first reason: with it, no export would make half rate possible.
    const bool slowSource = facts.sourceFps && *facts.sourceFps < 31;
    if (slowSource) {
        allowed.rates[fpsHalf] = rowBlock::sourceBelow31;
        allowed.rates[fpsSlow] = rowBlock::sourceBelow31;
    } else if (allowed.format == outRewrap) {
        allowed.rates[fpsHalf] = rowBlock::rewrapKeeps;
    }
    allowed.rate = allowed.rateAllowed(facts.rate) ? facts.rate : fpsNormal;
    allowed.rateCorrected = allowed.rate != facts.rate;
    return allowed;
}
