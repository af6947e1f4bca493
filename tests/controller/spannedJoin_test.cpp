// Which pieces of spanned recordings become one row, and what the others say; the joined row's
// input for ffmpeg.
#include "controller/encodage.h"
#include "controller/spannedJoin.h"
#include "jobOfRecord.h"

#include <gtest/gtest.h>

namespace {

const QString kStream = QStringLiteral("/card/BDMV/STREAM/");

mediaFacts streams(const QString &width = QStringLiteral("1920")) {
    return mediaFactsOf({{QStringLiteral("v0_codec"), QStringLiteral("h264")},
                         {QStringLiteral("v0_width"), width},
                         {QStringLiteral("v0_height"), QStringLiteral("1080")},
                         {QStringLiteral("v0_fps"), 50.0},
                         {QStringLiteral("a0_codec"), QStringLiteral("ac3")},
                         {QStringLiteral("a0_channels"), 2},
                         {QStringLiteral("a0_rate"), 48000}});
}

joinRow row(const QString &clip, const mediaFacts &facts = streams()) {
    return {kStream + clip + QStringLiteral(".MTS"), facts};
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
    EXPECT_EQ(encInputStr(rowOfRecord(job)), QStringLiteral("concat:") + plan[0].paths.join('|'));
    const std::optional<QStringList> args = encodage(0, jobOfRecord(job));
    ASSERT_TRUE(args);
    EXPECT_EQ(args->at(args->indexOf(QStringLiteral("-i")) + 1), encInputStr(rowOfRecord(job)));
    // A source that is not the first of its pieces is read alone.
    job.insert(QStringLiteral("srcPathStr"), QStringLiteral("/out/.fluxaro-x.mov"));
    EXPECT_EQ(encInputStr(rowOfRecord(job)), QStringLiteral("/out/.fluxaro-x.mov"));
    job.remove(QStringLiteral("joinPathsArray"));
    job.insert(QStringLiteral("srcPathStr"), plan[0].paths.first());
    EXPECT_EQ(encInputStr(rowOfRecord(job)), plan[0].paths.first());
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

namespace {

// A piece's file at 25 pictures/s (3600 ticks of 90 kHz each) whose pictures run from 1.4 s:
// key pictures every 12 pictures, at bytes 10000 apart; the head read up to 2 s, the tail from
// the last second on.
toolbox::StreamSpan span25(int pictures) {
    toolbox::StreamSpan span;
    span.frameTicks = 3600;
    span.firstPts = 126000;
    span.lastPts = 126000 + static_cast<std::int64_t>(pictures - 1) * 3600;
    span.size = 1000000;
    for (int i = 0; i < pictures; ++i) {
        const toolbox::SpanPicture picture{126000 + i * 3600LL, 1000LL + i * 1000, i % 12 == 0};
        if (picture.pts <= 180000) {
            span.head.push_back(picture);
        }
        if (picture.pts >= span.lastPts - 90000) {
            span.tail.push_back(picture);
        }
    }
    return span;
}

recordingPiece piece(std::uint32_t in, std::uint32_t out) {
    recordingPiece piece;
    piece.clip = QStringLiteral("00002");
    piece.inTime = in;
    piece.outTime = out;
    return piece;
}

} // namespace

TEST(spannedJoin, eachPieceIsReadFromItsInToItsOutTime) {
    // 48 pictures: 126000 to 295200, the last one ending at 298800 (45 kHz: 63000 to 149400).
    const toolbox::StreamSpan span = span25(48);
    struct seam {
        std::uint32_t in;
        std::uint32_t out;
        qint64 start;
        qint64 end;
        const char *why;
    };
    const QList<seam> seams{
        // The whole file, byte for byte (a cut inside a group of pictures), within half a picture.
        {63000, 149400, 0, 0, ""},
        {63000 + 800, 149400 - 800, 0, 0, ""},
        // The next file repeats the last group of the one before: IN skips its 12 pictures.
        {63000 + 12 * 1800, 149400, 13000, 0, ""},
        // OUT on a key picture before the end: the bytes stop where that picture begins.
        {63000, 63000 + 36 * 1800, 0, 37000, ""},
        // IN on no key picture; OUT on none; IN before the first picture or after the last; OUT
        // after the end; OUT not after IN.
        {63000 + 5 * 1800, 149400, -1, -1, "IN time 1.600 s falls on no key picture"},
        {63000, 63000 + 40 * 1800, -1, -1, "OUT time 3.000 s falls on no key picture"},
        {60000, 149400, -1, -1, "IN time 1.333 s lies outside its file's pictures"},
        {150000, 160000, -1, -1, "IN time 3.333 s lies outside"},
        {63000, 152000, -1, -1, "OUT time 3.378 s lies outside"},
        {90000, 90000, -1, -1, "is not after its IN time"},
    };
    for (const seam &s : seams) {
        const pieceRange range = spannedPieceRange(piece(s.in, s.out), span);
        if (s.start < 0) {
            EXPECT_TRUE(range.why.contains(QLatin1String(s.why)))
                << s.in << " " << range.why.toStdString();
        } else {
            EXPECT_TRUE(range.why.isEmpty()) << s.in << " " << range.why.toStdString();
            EXPECT_EQ(range.bytes.start, s.start) << s.in;
            EXPECT_EQ(range.bytes.end, s.end) << s.in;
        }
    }
}

TEST(spannedJoin, theBytesOfEachPieceReachFfmpegsInput) {
    const QList<joinRow> rows{row(QStringLiteral("00002")), row(QStringLiteral("00003")),
                              row(QStringLiteral("00004"))};
    // The second piece repeats the first's last group; the others are read whole, the first
    // also when its IN time lies past its first group (the stream's tables are at its start).
    const recordingLookup timed = [](const QString &src) {
        std::optional<spannedRecording> recording = card()(src);
        for (qsizetype i = 0; recording && i < recording->pieces.size(); ++i) {
            recording->pieces[i].inTime = i < 2 ? 63000 + 12 * 1800 : 63000;
            recording->pieces[i].outTime = 149400;
        }
        return recording;
    };
    QStringList spanned;
    const spanLookup spanOf = [&spanned](const recordingPiece &piece) {
        spanned << piece.clip;
        return std::optional<toolbox::StreamSpan>(span25(48));
    };
    QList<joinDecision> plan = spannedJoinPlan(rows, timed, {}, true, spanOf);
    ASSERT_EQ(plan.size(), 1);
    ASSERT_TRUE(plan[0].joined);
    EXPECT_EQ(spanned, (QStringList{"00002", "00003", "00004"}));
    ASSERT_EQ(plan[0].ranges.size(), 3);
    EXPECT_TRUE(plan[0].ranges[0].whole());
    EXPECT_EQ(plan[0].ranges[1].text(), QStringLiteral("13000 0"));
    QStringList ranges;
    for (const pieceBytes &bytes : plan[0].ranges) {
        ranges << bytes.text();
    }
    const QVariantMap job{{QStringLiteral("srcPathStr"), plan[0].paths.first()},
                          {QStringLiteral("joinPathsArray"), plan[0].paths},
                          {QStringLiteral("joinRangesArray"), ranges}};
    EXPECT_EQ(encInputStr(rowOfRecord(job)),
              QStringLiteral("concat:%1|subfile,,start,13000,end,0,,:%2|%3")
                  .arg(plan[0].paths[0], plan[0].paths[1], plan[0].paths[2]));
    // A range that is no range reads the piece whole.
    EXPECT_FALSE(pieceBytes::fromText(QStringLiteral("9 3")).has_value());
    EXPECT_FALSE(pieceBytes::fromText(QStringLiteral("x 0")).has_value());

    // A piece whose times its file cannot present keeps the recording apart, each piece noted;
    // so does an unreadable piece, and the playlist's own objection (no file is read then).
    const spanLookup late = [](const recordingPiece &piece) {
        toolbox::StreamSpan span = span25(48);
        if (piece.clip == QStringLiteral("00004")) {
            span.firstPts += 90000;
        }
        return std::optional<toolbox::StreamSpan>(span);
    };
    plan = spannedJoinPlan(rows, timed, {}, true, late);
    ASSERT_EQ(plan.size(), 1);
    EXPECT_FALSE(plan[0].joined);
    EXPECT_TRUE(plan[0].ranges.isEmpty());
    ASSERT_EQ(plan[0].notes.size(), 3);
    EXPECT_TRUE(plan[0].notes[2].startsWith(
        QStringLiteral("piece 3 of 3 of a recording, converted on its own: 00004.MTS cannot be "
                       "joined: its IN time 1.400 s lies outside")))
        << plan[0].notes[2].toStdString();
    plan = spannedJoinPlan(rows, timed, {}, true, [](const recordingPiece &) {
        return std::optional<toolbox::StreamSpan>();
    });
    EXPECT_FALSE(plan[0].joined);
    EXPECT_TRUE(plan[0].notes[0].endsWith(QStringLiteral("its pictures cannot be read")));
    spanned.clear();
    const recordingLookup objected = [&timed](const QString &src) {
        std::optional<spannedRecording> recording = timed(src);
        if (recording) {
            recording->apart = QStringLiteral("an entry mark begins a shot at 00003");
        }
        return recording;
    };
    plan = spannedJoinPlan(rows, objected, {}, true, spanOf);
    EXPECT_FALSE(plan[0].joined);
    EXPECT_TRUE(spanned.isEmpty());
    EXPECT_TRUE(plan[0].notes[1].endsWith(QStringLiteral("an entry mark begins a shot at 00003")));
}

namespace {

// Pictures of 25 fps as a transport stream with two B-pictures between anchors lists them, in
// file (decoding) order from the picture `from` of the encode on: presentation index i*3600
// ticks after 126000, the byte at 1000 per picture. Key frames at every 12th presentation
// index; `open` groups put the two B-pictures that show before each key frame after it.
std::vector<toolbox::SpanPicture> bPictures(int from, int count, bool open) {
    std::vector<int> order; // presentation indices in decoding order
    for (int anchor = 0; static_cast<int>(order.size()) < from + count; anchor += 3) {
        order.push_back(anchor);
        if (anchor > 0 && (open || anchor % 12 != 0)) {
            order.push_back(anchor - 2);
            order.push_back(anchor - 1);
        } else if (anchor > 0) {
            // A closed group: the B-pictures before it come before the key frame.
            order.insert(order.end() - 1, {anchor - 2, anchor - 1});
        }
    }
    std::vector<toolbox::SpanPicture> pictures;
    for (int j = from; j < from + count; ++j) {
        pictures.push_back({126000 + order[j] * 3600LL, 1000LL * (j - from), order[j] % 12 == 0});
    }
    return pictures;
}

toolbox::StreamSpan spanOfPictures(const std::vector<toolbox::SpanPicture> &pictures) {
    toolbox::StreamSpan span;
    span.frameTicks = 3600;
    span.head = pictures;
    span.tail = pictures;
    span.firstPts = pictures.front().pts;
    span.lastPts = pictures.front().pts;
    for (const toolbox::SpanPicture &picture : pictures) {
        span.firstPts = std::min(span.firstPts, picture.pts);
        span.lastPts = std::max(span.lastPts, picture.pts);
    }
    span.size = static_cast<qint64>(pictures.size()) * 1000;
    return span;
}

} // namespace

TEST(spannedJoin, itemTimesMeetInTheOneClockThatWraps) {
    EXPECT_TRUE(playItemTimesMeet(100, 100));
    EXPECT_TRUE(playItemTimesMeet(100, 101));
    EXPECT_TRUE(playItemTimesMeet(101, 100));
    EXPECT_FALSE(playItemTimesMeet(100, 102));
    EXPECT_FALSE(playItemTimesMeet(100, 0));
    EXPECT_TRUE(playItemTimesMeet(0xFFFFFFFFU, 0));
    EXPECT_TRUE(playItemTimesMeet(0, 0xFFFFFFFFU));
}

// A piece whose IN time is the OUT time before is that stream read on: whole, whatever picture
// the cut fell on; a group written again at its head is cut away at the key frame that presents
// IN, closed or open; the times must still agree with the pictures.
TEST(spannedJoin, piecesThatMeetAreReadOnAcrossTheCut) {
    // The encode's pictures 19 on (decoding order), after a cut at any packet: the B-pictures
    // after its first anchor show before it. IN is the first picture there in file order.
    const toolbox::StreamSpan cut = spanOfPictures(bPictures(19, 40, false));
    const auto item = [](qint64 in, qint64 out) {
        return piece(static_cast<std::uint32_t>(in / 2), static_cast<std::uint32_t>(out / 2));
    };
    const qint64 in = cut.head.front().pts;
    const qint64 end = cut.lastPts + 3600;
    ASSERT_GT(in, cut.firstPts + 1800);
    EXPECT_TRUE(spannedPieceRange(item(in, end), cut).why.contains("falls on no key picture"));
    pieceRange range = spannedPieceRange(item(in, end), cut, {true, false, nullptr});
    EXPECT_TRUE(range.why.isEmpty()) << range.why.toStdString();
    EXPECT_TRUE(range.bytes.whole());
    // The piece after it continues from a picture that is no key frame: the file is read on
    // to its end.
    const qint64 out = end - 5 * 3600;
    EXPECT_TRUE(
        spannedPieceRange(item(in, out), cut, {true, false, nullptr}).why.contains("OUT time"));
    range = spannedPieceRange(item(in, out), cut, {true, true, nullptr});
    EXPECT_TRUE(range.why.isEmpty()) << range.why.toStdString();
    EXPECT_TRUE(range.bytes.whole());
    // Times that meet but lie more than a second from the file's pictures disagree with it.
    EXPECT_TRUE(spannedPieceRange(item(cut.firstPts - 100000, end), cut, {true, false, nullptr})
                    .why.contains("IN time"));
    EXPECT_TRUE(spannedPieceRange(item(in, end + 100000), cut, {true, true, nullptr})
                    .why.contains("OUT time"));

    for (const bool open : {false, true}) {
        SCOPED_TRACE(open);
        // The piece before ends with the group from presentation index 24; this file holds it
        // again, then goes on. IN is where the next group begins to show: its key frame, or the
        // B-pictures decoded after it.
        const std::vector<toolbox::SpanPicture> encode = bPictures(0, 72, open);
        std::size_t first = 0;
        while (encode[first].pts != 126000 + 24 * 3600) {
            ++first;
        }
        const toolbox::StreamSpan before =
            spanOfPictures({encode.begin(), encode.begin() + static_cast<long>(first) + 12});
        std::vector<toolbox::SpanPicture> again(encode.begin() + static_cast<long>(first),
                                                encode.end());
        for (toolbox::SpanPicture &picture : again) {
            picture.pos -= encode[first].pos; // bytes of its own file
        }
        const toolbox::StreamSpan repeat = spanOfPictures(again);
        const qint64 seam = 126000 + (open ? 34 : 36) * 3600;
        range =
            spannedPieceRange(item(seam, repeat.lastPts + 3600), repeat, {true, false, &before});
        EXPECT_TRUE(range.why.isEmpty()) << range.why.toStdString();
        // The key frame of presentation index 36, 12 pictures into the file.
        EXPECT_EQ(range.bytes.start, 12000);
        // Without the piece before, nothing says the group is a repeat: the file is read on.
        EXPECT_TRUE(
            spannedPieceRange(item(seam, repeat.lastPts + 3600), repeat, {true, false, nullptr})
                .bytes.whole());
    }
}

// A recording whose 33-bit clock wraps inside a piece: the reader's times run on past 2^33, the
// item's OUT time is small again, and the piece is still read whole; its length is the item's.
TEST(spannedJoin, aPieceThroughTheClocksWrapIsReadWhole) {
    toolbox::StreamSpan span = span25(48);
    const qint64 shift = (qint64{1} << 33) - 126000 - 24 * 3600;
    span.firstPts += shift;
    span.lastPts += shift;
    for (toolbox::SpanPicture &picture : span.head) {
        picture.pts += shift;
    }
    for (toolbox::SpanPicture &picture : span.tail) {
        picture.pts += shift;
    }
    const auto in = static_cast<std::uint32_t>(span.firstPts / 2);
    const auto out = static_cast<std::uint32_t>((span.lastPts + 3600) / 2); // wrapped
    ASSERT_LT(out, in);
    pieceRange range = spannedPieceRange(piece(in, out), span, {true, false, nullptr});
    EXPECT_TRUE(range.why.isEmpty()) << range.why.toStdString();
    EXPECT_TRUE(range.bytes.whole());
    // On a key frame after the wrap, the cut is found there too.
    range = spannedPieceRange(
        piece(in, static_cast<std::uint32_t>((span.firstPts + 36 * 3600) / 2)), span);
    EXPECT_TRUE(range.why.isEmpty()) << range.why.toStdString();
    EXPECT_EQ(range.bytes.end, 37000);
    // An OUT time just before IN is no day-long piece.
    EXPECT_TRUE(spannedPieceRange(piece(in, in - 10), span).why.contains("is not after"));
}
