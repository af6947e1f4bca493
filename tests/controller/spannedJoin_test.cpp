// Which pieces of spanned recordings become one row, and what the others say; the joined row's
// input for ffmpeg.
#include "controller/encodage.h"
#include "controller/spannedJoin.h"

#include <gtest/gtest.h>

namespace {

const QString kStream = QStringLiteral("/card/BDMV/STREAM/");

QVariantMap streams(const QString &width = QStringLiteral("1920")) {
    return {{QStringLiteral("v0_codec"), QStringLiteral("h264")},
            {QStringLiteral("v0_width"), width},
            {QStringLiteral("v0_height"), QStringLiteral("1080")},
            {QStringLiteral("v0_fps"), 50.0},
            {QStringLiteral("a0_codec"), QStringLiteral("ac3")},
            {QStringLiteral("a0_channels"), 2},
            {QStringLiteral("a0_rate"), 48000}};
}

joinRow row(const QString &clip, const QVariantMap &dico = streams()) {
    return {kStream + clip + QStringLiteral(".MTS"), dico};
}

// A card whose playlist has clip 00001 alone and 00002-00004 as one recording; `missing` is
// listed but not on the card.
recordingLookup card(const QString &missing = QString()) {
    return [missing](const QString &src) -> std::optional<spannedRecording> {
        const QString clip = src.mid(kStream.size(), 5);
        spannedRecording recording;
        const QStringList clips =
            clip == QStringLiteral("00001")
                ? QStringList{QStringLiteral("00001")}
                : QStringList{QStringLiteral("00002"), QStringLiteral("00003"),
                              QStringLiteral("00004")};
        if (!clips.contains(clip)) {
            return std::nullopt;
        }
        for (const QString &name : clips) {
            recordingPiece piece;
            piece.clip = name;
            piece.path = name == missing ? QString() : kStream + name + QStringLiteral(".MTS");
            recording.pieces << piece;
        }
        recording.index = clips.indexOf(clip);
        return recording;
    };
}

} // namespace

TEST(spannedJoin, everyPieceGivenMakesOneRowInPlayingOrder) {
    // Given out of order, with a clip of its own and a source on no card among them.
    const QList<joinRow> rows{row(QStringLiteral("00003")),
                              row(QStringLiteral("00001")),
                              {QStringLiteral("/home/me/other.mov"), streams()},
                              row(QStringLiteral("00004")),
                              row(QStringLiteral("00002"))};
    const QList<joinDecision> plan = spannedJoinPlan(rows, card(), {}, true);
    ASSERT_EQ(plan.size(), 1);
    EXPECT_TRUE(plan[0].joined);
    EXPECT_EQ(plan[0].rows, (QList<qsizetype>{4, 0, 3}));
    EXPECT_EQ(plan[0].paths, (QStringList{kStream + QStringLiteral("00002.MTS"),
                                          kStream + QStringLiteral("00003.MTS"),
                                          kStream + QStringLiteral("00004.MTS")}));
    EXPECT_EQ(
        plan[0].notes.first(),
        QStringLiteral("one recording of 3 pieces joined: 00002.MTS + 00003.MTS + 00004.MTS"));
    EXPECT_EQ(spannedJoinRowName(plan[0].paths), QStringLiteral("00002.MTS (+2)"));

    // The ffmpeg input: the pieces one after the other as one stream.
    QVariantMap job{{QStringLiteral("srcPathStr"), plan[0].paths.first()},
                    {QStringLiteral("dstPathStr"), QStringLiteral("/out/x.mov")},
                    {QStringLiteral("joinPathsArray"), plan[0].paths}};
    EXPECT_EQ(encInputStr(job), QStringLiteral("concat:") + plan[0].paths.join('|'));
    const std::optional<QStringList> args = encodage(0, job);
    ASSERT_TRUE(args);
    EXPECT_EQ(args->at(args->indexOf(QStringLiteral("-i")) + 1), encInputStr(job));
    // The converted movie, once it is the job's source, is read alone.
    job.insert(QStringLiteral("srcPathStr"), QStringLiteral("/out/.fluxaro-x.mov"));
    EXPECT_EQ(encInputStr(job), QStringLiteral("/out/.fluxaro-x.mov"));
    job.remove(QStringLiteral("joinPathsArray"));
    job.insert(QStringLiteral("srcPathStr"), plan[0].paths.first());
    EXPECT_EQ(encInputStr(job), plan[0].paths.first());
}

TEST(spannedJoin, incompleteOrUnlikePiecesStayApartAndSayWhy) {
    const auto notes = [](const QList<joinRow> &rows, const recordingLookup &lookup,
                          const QMap<QString, QString> &refused = {}, bool joining = true) {
        const QList<joinDecision> plan = spannedJoinPlan(rows, lookup, refused, joining);
        EXPECT_EQ(plan.size(), 1);
        EXPECT_FALSE(plan.value(0).joined);
        return plan.value(0).notes;
    };
    const QString apart = QStringLiteral("piece %1 of 3 of a recording, converted on its own: ");
    // A piece missing on the card.
    EXPECT_EQ(
        notes({row(QStringLiteral("00002")), row(QStringLiteral("00004"))},
              card(QStringLiteral("00003"))),
        (QStringList{apart.arg(1) + "the recording is incomplete: 00003 is missing on the card",
                     apart.arg(3) + "the recording is incomplete: 00003 is missing on the card"}));
    // A piece not given, or given but refused by the analysis (damaged).
    EXPECT_EQ(
        notes({row(QStringLiteral("00002")), row(QStringLiteral("00003"))}, card()),
        (QStringList{
            apart.arg(1) + "the recording is incomplete: 00004.MTS is not among the sources",
            apart.arg(2) + "the recording is incomplete: 00004.MTS is not among the sources"}));
    EXPECT_EQ(
        notes({row(QStringLiteral("00003"))}, card(),
              {{kStream + QStringLiteral("00002.MTS"), QStringLiteral("ffmpeg can't read it")}}),
        QStringList{apart.arg(2) + "the recording is incomplete: 00002.MTS is damaged "
                                   "(ffmpeg can't read it)"});
    // A piece whose picture differs is not of the same recording.
    EXPECT_EQ(notes({row(QStringLiteral("00002")), row(QStringLiteral("00003")),
                     row(QStringLiteral("00004"), streams(QStringLiteral("1440")))},
                    card())
                  .last(),
              apart.arg(3) + "00004.MTS is from another recording (v0_width 1440, not 1920)");
    // Joining turned off.
    EXPECT_EQ(notes({row(QStringLiteral("00002")), row(QStringLiteral("00003")),
                     row(QStringLiteral("00004"))},
                    card(), {}, false)
                  .first(),
              apart.arg(1) + "joining is off");
    // A path the concat list can't hold.
    const recordingLookup piped = [](const QString &) {
        spannedRecording recording;
        for (const char *name : {"/a|b/00001.MTS", "/a|b/00002.MTS"}) {
            recording.pieces << recordingPiece{QString::fromLatin1(name).mid(5, 5),
                                               QString::fromLatin1(name), 1, 0, 0};
        }
        return std::optional<spannedRecording>(recording);
    };
    const QList<joinDecision> plan =
        spannedJoinPlan({{QStringLiteral("/a|b/00001.MTS"), streams()},
                         {QStringLiteral("/a|b/00002.MTS"), streams()}},
                        piped, {}, true);
    ASSERT_EQ(plan.size(), 1);
    EXPECT_FALSE(plan[0].joined);
    EXPECT_TRUE(
        plan[0].notes.first().endsWith(QStringLiteral("the path of 00001.MTS holds a '|'")));
}
