// The end of a source's analysis: which sources get a row, what the row holds (its place, its
// rate, the format and rate mode the system and the source allow, its thumbnail only once made)
// and what its verdict notes.
#include "controller/analysisPlans.h"

#include "controller/exportPreset.h"
#include "controller/jobRecord.h"

#include <gtest/gtest.h>

namespace {

QVariantMap record(float fps, int32_t soundTracks, const QString &scanNote = {}) {
    QVariantMap dico{{QStringLiteral("v0_codec"), QStringLiteral("h264")},
                     {QStringLiteral("v0_fps"), fps}};
    for (int32_t track = 0; track < soundTracks; ++track) {
        dico.insert(QStringLiteral("a%1_codec").arg(track), QStringLiteral("ac3"));
    }
    if (!scanNote.isEmpty()) {
        dico.insert(jobKey::scanNote, scanNote);
    }
    return dico;
}

} // namespace

/// What a case expects of the plan.
struct finExpected {
    analysisFinOutcome outcome = analysisFinOutcome::appended;
    int32_t format = outRewrap;
    int32_t rate = fpsNormal;
    int32_t fpsSrc = 0;
    bool rowHasImg = false;
    const char *notes = "";
};

TEST(controllerPlans, analysisFinAppendsAcceptedSourcesWithWhatTheyAllow) {
    using enum analysisFinOutcome;
    const QString src = QStringLiteral("/card/STREAM/00001.MTS");
    const QString img = QStringLiteral("/tmp/f/00001.MTS.jpg");
    // facts: source, record, thumbnail, made, surround, format, rate, AIC, ProRes, listed.
    const struct {
        const char *what;
        analysisFinFacts facts;
        finExpected expected;
    } cases[] = {
        {"refused already", {src, std::nullopt, img, true}, {none}},
        {"stopped", {QStringLiteral("cancel"), record(25, 1), img, true}, {stopped}},
        {"stopped before a source was taken", {QString(), record(25, 1)}, {stopped}},
        {"plain, thumbnail on its way", {src, record(29.97F, 1), img}, {appended, 0, 0, 30}},
        {"thumbnail made during the probe",
         {src, record(25, 1), img, true},
         {appended, 0, 0, 25, true}},
        {"no thumbnail path", {src, record(25, 1), QString(), true}, {appended, 0, 0, 25}},
        {"Intermediate without its encoder",
         {src, record(50, 1), img, false, false, outAic, fpsHalf, false, true},
         {appended, outRewrap, fpsNormal, 50}},
        {"ProRes without its encoder",
         {src, record(25, 1), img, false, false, outProres, fpsNormal, true, false},
         {appended, outRewrap, fpsNormal, 25}},
        {"half rate of 50 fps to ProRes",
         {src, record(50, 1), img, false, true, outProres, fpsHalf, true, true},
         {appended, outProres, fpsHalf, 50}},
        {"half rate needs an export",
         {src, record(59.94F, 1), img, false, false, outRewrap, fpsHalf, true, true},
         {appended, outRewrap, fpsNormal, 60}},
        {"half rate of 30 fps",
         {src, record(30, 1), img, false, false, outAic, fpsHalf, true},
         {appended, outAic, fpsNormal, 30}},
        {"slow motion of 25 fps",
         {src, record(25, 1), img, false, false, outAic, fpsSlow, true, true},
         {appended, outAic, fpsNormal, 25}},
        {"slow motion of 50 fps in a rewrap",
         {src, record(50, 1), img, false, false, outRewrap, fpsSlow},
         {appended, outRewrap, fpsSlow, 50}},
        {"listed already (a second drop, a queue left by a killed run)",
         {src, record(25, 1), img, true, false, outRewrap, fpsNormal, true, true, true},
         {listed}},
        {"more sound tracks",
         {src, record(25, 3), img},
         {appended, 0, 0, 25, false, "sound: track 1 of 3 kept, the others are left out"}},
        {"scan judged, more sound tracks",
         {src, record(25, 2, QStringLiteral("progressive pictures")), img},
         {appended, 0, 0, 25, false,
          "progressive pictures; sound: track 1 of 2 kept, the others are left out"}},
    };
    for (const auto &[what, facts, expected] : cases) {
        SCOPED_TRACE(what);
        const analysisFinPlanValue plan = analysisFinPlan(facts);
        EXPECT_EQ(plan.outcome, expected.outcome);
        EXPECT_EQ(plan.notes, QString::fromUtf8(expected.notes));
        if (expected.outcome != appended) {
            EXPECT_TRUE(plan.row.source.isEmpty());
            continue;
        }
        const batchRow &row = plan.row;
        EXPECT_EQ(row.name, QStringLiteral("00001.MTS"));
        EXPECT_EQ(row.state, rowState::waiting);
        EXPECT_EQ(row.format, expected.format);
        EXPECT_EQ(row.rateMode, expected.rate);
        EXPECT_EQ(row.facts.wholeFps(), expected.fpsSrc);
        EXPECT_EQ(row.thumbnailShown, expected.rowHasImg);
        EXPECT_EQ(row.source, src);
        EXPECT_EQ(row.thumbnailPath, facts.img);
        EXPECT_EQ(row.surround, facts.surround);
        EXPECT_EQ(row.facts.videoCodec, QStringLiteral("h264"));
        // The facts are the dictionary's, and the dictionary is kept for the journal.
        EXPECT_EQ(row.facts, mediaFactsOf(row.mediaInfo));
    }
}
