// The comparison of an output's facts with what the plan expects of its source's: each check
// fails on what it is there for, and holds within its margin.
#include "controller/encPlans.h"
#include "verify/outputVerdict.h"

#include <gtest/gtest.h>

namespace {

/// 6 s of 50 frames/s, sound from the first picture.
toolbox::MovieFacts sourceFacts() {
    toolbox::MovieFacts facts;
    toolbox::PictureFacts picture;
    picture.pictures = 300;
    picture.seconds = 6.0;
    picture.rate = {50, 1};
    picture.width = 1920;
    picture.height = 1080;
    picture.primaries = 1;
    picture.transfer = 1;
    picture.matrix = 1;
    picture.range = 1;
    facts.picture = picture;
    toolbox::SoundFacts sound;
    sound.seconds = 6.0;
    sound.sampleRate = 48000;
    sound.channels = 2;
    sound.frameSamples = 1536;
    facts.sounds.push_back(sound);
    facts.durationSeconds = 6.0;
    return facts;
}

std::vector<verifyCheck> checksOf(const verifyVerdict &verdict) {
    std::vector<verifyCheck> checks;
    for (const verifyFinding &found : verdict.findings) {
        checks.push_back(found.check);
    }
    return checks;
}

} // namespace

// A copy of the source holds; its verdict says what was proved.
TEST(outputVerdict, aFaithfulCopyHolds) {
    const toolbox::MovieFacts source = sourceFacts();
    const verifyVerdict verdict = verifyOutput(verifyExpectOf(source, {}), source);
    EXPECT_TRUE(verdict.holds);
    EXPECT_EQ(verdict.logWords,
              QStringLiteral("verified: 300 pictures at 50/1, 6.000 s, sound +0.0 ms"));
}

// Each spoiled fact fails its own check, and only that one.
TEST(outputVerdict, eachSpoiledFactFailsItsCheck) {
    const toolbox::MovieFacts source = sourceFacts();
    const verifyExpect expect = verifyExpectOf(source, {});
    const struct {
        const char *name;
        std::function<void(toolbox::MovieFacts &)> spoil;
        std::vector<verifyCheck> checks;
    } cases[] = {
        {"cut short",
         [](toolbox::MovieFacts &f) {
             f.picture->pictures = 150;
             f.picture->seconds = 3.0;
             f.sounds[0].seconds = 3.0;
         },
         {verifyCheck::pictures, verifyCheck::duration, verifyCheck::soundLength}},
        {"a picture more is within the margin",
         [](toolbox::MovieFacts &f) {
             f.picture->pictures = 301;
             f.picture->seconds = 6.02;
         },
         {}},
        {"two pictures less",
         [](toolbox::MovieFacts &f) { f.picture->pictures = 298; },
         {verifyCheck::pictures}},
        {"another rate",
         [](toolbox::MovieFacts &f) {
             f.picture->rate = {25, 1};
         },
         {verifyCheck::rate}},
        {"no sound", [](toolbox::MovieFacts &f) { f.sounds.clear(); }, {verifyCheck::noSound}},
        {"sound 40 ms late",
         [](toolbox::MovieFacts &f) { f.sounds[0].startSeconds = 0.040; },
         {verifyCheck::soundStart}},
        {"sound 1 ms late is within the margin",
         [](toolbox::MovieFacts &f) { f.sounds[0].startSeconds = 0.001; },
         {}},
        {"sound three frames short",
         [](toolbox::MovieFacts &f) { f.sounds[0].seconds = 5.904; },
         {verifyCheck::soundLength}},
        {"turned",
         [](toolbox::MovieFacts &f) { f.picture->rotation = 90; },
         {verifyCheck::rotation}},
        {"mirrored",
         [](toolbox::MovieFacts &f) { f.picture->matrixIsRotation = false; },
         {verifyCheck::rotation}},
        {"another size",
         [](toolbox::MovieFacts &f) { f.picture->width = 1440; },
         {verifyCheck::size}},
        {"another pixel aspect",
         [](toolbox::MovieFacts &f) {
             f.picture->pixelAspect = {4, 3};
         },
         {verifyCheck::pixelAspect}},
        {"colour description dropped",
         [](toolbox::MovieFacts &f) { f.picture->primaries = 2; },
         {verifyCheck::colour}},
        {"another range",
         [](toolbox::MovieFacts &f) { f.picture->range = 2; },
         {verifyCheck::colour}},
        {"a range the container can't say",
         [](toolbox::MovieFacts &f) { f.picture->range = 0; },
         {}},
        {"no picture", [](toolbox::MovieFacts &f) { f.picture.reset(); }, {verifyCheck::noPicture}},
    };
    for (const auto &c : cases) {
        toolbox::MovieFacts output = source;
        c.spoil(output);
        const verifyVerdict verdict = verifyOutput(expect, output);
        EXPECT_EQ(checksOf(verdict), c.checks)
            << c.name << ": " << verdict.failureLogWords().toStdString();
        EXPECT_EQ(verdict.holds, c.checks.empty()) << c.name;
    }
}

// The words of a movie cut short say how much of it there is, as the user reads them.
TEST(outputVerdict, wordsOfAShortMovie) {
    toolbox::MovieFacts source = sourceFacts();
    source.picture->pictures = 10000;
    source.picture->seconds = 200.0;
    source.sounds[0].seconds = 200.0;
    toolbox::MovieFacts output = source;
    output.picture->pictures = 2750;
    output.picture->seconds = 55.0;
    output.sounds[0].seconds = 55.0;
    const verifyVerdict verdict =
        verifyOutput(verifyExpectOf(source, {}), output, QStringLiteral("ffmpeg"),
                     QStringLiteral("00001.MTS: Input/output error"));
    EXPECT_FALSE(verdict.holds);
    EXPECT_EQ(encVerifyFailure(verdict), jobFailure::sourceReadError);
    EXPECT_TRUE(verdict.failureLogWords().contains(
        QStringLiteral("the movie holds 55.0 s of the 200.0 s planned")));
    EXPECT_TRUE(verdict.failureLogWords().endsWith(
        QStringLiteral("ffmpeg could not read the source (00001.MTS: Input/output error)")));
}

// A read error in the tool's report fails an output that looks whole, with the tool's line.
TEST(outputVerdict, aReadErrorFailsAWholeLookingMovie) {
    const toolbox::MovieFacts source = sourceFacts();
    const verifyVerdict verdict =
        verifyOutput(verifyExpectOf(source, {}), source, QStringLiteral("trakmill"),
                     QStringLiteral("%2 Packet corrupt"));
    ASSERT_EQ(checksOf(verdict), std::vector<verifyCheck>{verifyCheck::toolReadError});
    EXPECT_EQ(verdict.findings.first().logWords,
              QStringLiteral("trakmill could not read the source (%2 Packet corrupt)"));
}

// The plan's rate and stretch: an export of 59.94 frames/s at a whole 60 keeps its clock, half
// rate halves the count, slow motion keeps every picture over a longer time.
TEST(outputVerdict, whatThePlanExpects) {
    toolbox::MovieFacts source = sourceFacts();
    source.picture->rate = {60000, 1001};
    source.picture->pictures = 360;
    source.picture->seconds = 6.006;
    source.sounds[0].seconds = 6.006;
    mediaFacts facts;
    facts.fpsText = "59.94";
    facts.fps = 59.94;
    facts.height = 1080;
    facts.width = 1920;
    const struct {
        const char *name;
        int32_t out;
        int32_t mode;
        toolbox::Rational rate;
        int64_t pictures;
        double seconds;
    } cases[] = {
        {"rewrap", outRewrap, fpsNormal, {60000, 1001}, 360, 6.006},
        {"rewrap in slow motion", outRewrap, fpsSlow, {30000, 1001}, 360, 12.012},
        {"ProRes", outProres, fpsNormal, {60000, 1001}, 360, 6.006},
        {"ProRes at half rate", outProres, fpsHalf, {30000, 1001}, 180, 6.006},
        {"ProRes in slow motion", outProres, fpsSlow, {30000, 1001}, 360, 12.012},
    };
    for (const auto &c : cases) {
        const verifyPlan plan =
            encVerifyPlan(facts, 1700000000, c.out, c.mode, true, source.picture->rate);
        const verifyExpect expect = verifyExpectOf(source, plan);
        EXPECT_EQ(expect.rate, c.rate) << c.name;
        EXPECT_EQ(expect.pictures, c.pictures) << c.name;
        EXPECT_NEAR(expect.seconds, c.seconds, 1e-6) << c.name;
        EXPECT_EQ(expect.recordingDateUnix, std::optional<int64_t>(1700000000)) << c.name;
    }
    EXPECT_EQ(verifyDeliveredRate(50, {50, 1}), (toolbox::Rational{50, 1}));
    EXPECT_EQ(verifyDeliveredRate(24, {24000, 1001}), (toolbox::Rational{24000, 1001}));
    EXPECT_EQ(verifyDeliveredRate(25, {60000, 1001}), (toolbox::Rational{25, 1}));
}

// The recording date the plan gives must be in the movie header and in the creation-date key.
TEST(outputVerdict, recordingDates) {
    const toolbox::MovieFacts source = sourceFacts();
    verifyPlan plan;
    plan.recordingDateUnix = 1700000000;
    toolbox::MovieFacts output = source;
    output.createdUnix = 1700000000;
    output.creationKeyUnix = 1700000000;
    EXPECT_TRUE(verifyOutput(verifyExpectOf(source, plan), output).holds);
    output.creationKeyUnix.reset();
    EXPECT_EQ(checksOf(verifyOutput(verifyExpectOf(source, plan), output)),
              std::vector<verifyCheck>{verifyCheck::date});
    output.creationKeyUnix = 1700000000 + 3600;
    EXPECT_EQ(checksOf(verifyOutput(verifyExpectOf(source, plan), output)),
              std::vector<verifyCheck>{verifyCheck::date});
}

// A joined recording is its pieces one after the other: a piece missing from the output fails.
TEST(outputVerdict, aPieceMissingFromAJoin) {
    const toolbox::MovieFacts piece = sourceFacts();
    const toolbox::MovieFacts joined = verifyJoinedFacts({piece, piece, piece});
    ASSERT_TRUE(joined.picture);
    EXPECT_EQ(joined.picture->pictures, 900);
    const verifyExpect expect = verifyExpectOf(joined, {});
    EXPECT_TRUE(verifyOutput(expect, joined).holds);
    const verifyVerdict twoOfThree = verifyOutput(expect, verifyJoinedFacts({piece, piece}));
    EXPECT_EQ(encVerifyFailure(twoOfThree), jobFailure::outputIncomplete);
}

// The incomplete name is beside the final one and never an existing file's.
TEST(outputVerdict, incompleteName) {
    EXPECT_EQ(encIncompletePath("/d/ev/clip-1.mov", {}),
              QStringLiteral("/d/ev/clip-1 (incomplete).mov"));
    EXPECT_EQ(encIncompletePath("/d/ev/clip-1.mov",
                                [](const QString &path) { return !path.contains(" 3)"); }),
              QStringLiteral("/d/ev/clip-1 (incomplete 3).mov"));
}
