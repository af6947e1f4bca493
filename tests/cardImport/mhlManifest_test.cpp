// The manifests' texts read back as they were written, the C4 identifiers against known answers,
// and texts that are no manifest refused; the journal's lines, a line cut short by a kill among
// them.
#include "cardImport/importJournal.h"
#include "cardImport/mhlManifest.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::vector<mhlEntry> sampleEntries() {
    mhlEntry first;
    first.path = "PRIVATE/AVCHD/BDMV/STREAM/00001.MTS";
    first.size = 6101352;
    first.mtimeSeconds = 1716027330;
    first.xxh64 = 0x9923685a95f50b29ULL;
    first.hashSeconds = 1716030000;
    mhlEntry second;
    second.path = "name with <&> and \xc3\xa9";
    second.size = 0;
    second.mtimeSeconds = 0;
    second.xxh64 = 0x00000000000000ffULL; // leading zeros kept: 16 digits always
    second.verifiedAgain = true;
    second.hashSeconds = 1716030001;
    return {first, second};
}

void expectSame(const std::vector<mhlEntry> &read, const std::vector<mhlEntry> &written) {
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].path, written[i].path);
        EXPECT_EQ(read[i].size, written[i].size);
        EXPECT_EQ(read[i].mtimeSeconds, written[i].mtimeSeconds);
        EXPECT_EQ(read[i].xxh64, written[i].xxh64);
        EXPECT_EQ(read[i].verifiedAgain, written[i].verifiedAgain);
        EXPECT_EQ(read[i].hashSeconds, written[i].hashSeconds);
    }
}

} // namespace

TEST(mhlC4, knownIdentifiers) {
    // The C4 identifier of no bytes, as the C4 specification's examples give it, and of "foo"
    // as Python's hashlib and a base-58 encoding of the digest give it.
    EXPECT_EQ(mhlC4Id(QByteArray()),
              QStringLiteral("c459dsjfscH38cYeXXYogktxf4Cd9ibshE3BHUo6a58hBXmRQdZrAkZzsWcbWtDg5oQ"
                             "stpDuni4Hirj75GEmTc1sFT"));
    EXPECT_EQ(mhlC4Id(QByteArrayLiteral("foo")),
              QStringLiteral("c45xZeXwMSpqXjpDumcHMA6mhoAmGHkUo7r9WmN2UgSEQzj9KjgseaQdkEJ11fGb5S1"
                             "WEENcV3q8RFWwEeVpC7Fjk2"));
    EXPECT_EQ(mhlC4Id(QByteArrayLiteral("foo")).size(), 90);
}

TEST(mhlManifest, generationNamesSortByNumberAndSayTheirUtcTime) {
    EXPECT_EQ(mhlGenerationFileName(1, QStringLiteral("2024-05-18 CANON_HF"), 1716027330),
              QStringLiteral("0001_2024-05-18 CANON_HF_2024-05-18_101530Z.mhl"));
    EXPECT_EQ(mhlGenerationFileName(12, QStringLiteral("X"), 0),
              QStringLiteral("0012_X_1970-01-01_000000Z.mhl"));
}

TEST(mhlManifest, aGenerationReadsBackAsWritten) {
    mhlCreator creator;
    creator.creationSeconds = 1716030000;
    creator.offsetSeconds = 7200;
    creator.hostName = QStringLiteral("host");
    creator.toolVersion = QStringLiteral("1.2.3");
    const QByteArray xml = mhlGenerationXml(creator, sampleEntries());
    EXPECT_TRUE(xml.contains("<xxh64 action=\"original\" hashdate=\"2024-05-18T13:00:00+02:00\">"
                             "9923685a95f50b29</xxh64>"))
        << xml.constData();
    EXPECT_TRUE(xml.contains("lastmodificationdate=\"2024-05-18T12:15:30+02:00\""))
        << xml.constData();
    EXPECT_TRUE(xml.contains("<process>transfer</process>"));
    QString why;
    const std::optional<std::vector<mhlEntry>> read = mhlReadGeneration(xml, &why);
    ASSERT_TRUE(read) << why.toStdString();
    expectSame(*read, sampleEntries());
}

TEST(mhlManifest, textsThatAreNoManifestAreRefused) {
    QString why;
    EXPECT_FALSE(mhlReadGeneration("<hashlist version=\"2.0\"/>", &why)); // no namespace
    EXPECT_FALSE(mhlReadGeneration("<hashlist xmlns=\"urn:ASC:MHL:v2.0\"><hashes><hash>"
                                   "<path size=\"3\">a</path></hash></hashes></hashlist>",
                                   &why)); // a file without hash
    EXPECT_FALSE(mhlReadGeneration("<hashlist xmlns=\"urn:ASC:MHL:v2.0\"><hashes><hash>"
                                   "<path size=\"3\">a</path><xxh64>12</xxh64></hash></hashes>"
                                   "</hashlist>",
                                   &why)); // a hash of another length
    EXPECT_FALSE(mhlReadGeneration("<hashlist xmlns=\"urn:ASC:MHL:v2.0\"><hashes>", &why));
    EXPECT_FALSE(mhlReadChain("<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\">"
                              "<hashlist sequencenr=\"1\"><path>../../etc/passwd</path><c4>x</c4>"
                              "</hashlist></ascmhldirectory>",
                              &why)); // a generation outside the ascmhl folder
    const std::optional<std::vector<mhlChainLink>> empty =
        mhlReadChain("<ascmhldirectory xmlns=\"urn:ASC:MHL:DIRECTORY:v2.0\"/>", &why);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(mhlManifest, theChainListsGenerationsInOrderAndTheHistoryTellsAChangedOne) {
    QTemporaryDir copy;
    ASSERT_TRUE(copy.isValid());
    mhlCreator creator;
    creator.creationSeconds = 1716030000;
    QString why;
    std::vector<mhlEntry> entries = sampleEntries();
    const std::optional<QString> first =
        mhlWriteGeneration(copy.path(), QStringLiteral("C"), 1, creator, {entries[0]}, &why);
    ASSERT_TRUE(first) << why.toStdString();
    entries[0].xxh64 = 0x1234;
    creator.creationSeconds += 60;
    const std::optional<QString> second =
        mhlWriteGeneration(copy.path(), QStringLiteral("C"), 2, creator, entries, &why);
    ASSERT_TRUE(second) << why.toStdString();
    mhlHistory history = mhlReadHistory(copy.path());
    EXPECT_EQ(history.problem, mhlProblem::none);
    ASSERT_EQ(history.links.size(), 2U);
    EXPECT_EQ(history.links[0].fileName, *first);
    EXPECT_EQ(history.links[1].fileName, *second);
    EXPECT_EQ(history.lastGeneration, 2);
    ASSERT_EQ(history.newest.size(), 2U);
    // The newest generation's record of a path wins.
    EXPECT_EQ(history.newest[0].xxh64, 0x1234U);

    // One character of the first generation changed: its C4 no longer is the chain's.
    QFile generation(copy.path() + QStringLiteral("/ascmhl/") + *first);
    ASSERT_TRUE(generation.open(QIODevice::ReadWrite));
    QByteArray bytes = generation.readAll();
    bytes.replace("9923685a95f50b29", "9923685a95f50b2a");
    generation.seek(0);
    generation.write(bytes);
    generation.close();
    history = mhlReadHistory(copy.path());
    EXPECT_EQ(history.problem, mhlProblem::generationChanged);
    EXPECT_EQ(history.problemFile, generation.fileName());

    QFile::remove(generation.fileName());
    EXPECT_EQ(mhlReadHistory(copy.path()).problem, mhlProblem::generationMissing);
    // A generation is never written over a file of its name.
    creator.creationSeconds -= 60;
    QFile::remove(copy.path() + QStringLiteral("/ascmhl/") + *second);
    QFile blocker(copy.path() + QStringLiteral("/ascmhl/") + *second);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    creator.creationSeconds += 60;
    EXPECT_FALSE(mhlWriteGeneration(copy.path(), QStringLiteral("C"), 2, creator, entries, &why));
    EXPECT_EQ(QFile(blocker.fileName()).size(), 0);
}

TEST(importJournal, linesReadBackAndALineCutShortIsLeftOut) {
    std::vector<mhlEntry> entries = sampleEntries();
    entries[1].path = "odd\nname 100% here";
    entries[1].verifiedAgain = false;
    std::string text = importJournalLine(entries[0]) + importJournalLine(entries[1]);
    EXPECT_EQ(
        importJournalLine(entries[0]),
        "9923685a95f50b29 6101352 1716027330 1716030000 PRIVATE/AVCHD/BDMV/STREAM/00001.MTS\n");
    // A kill in the middle of a line: that file is copied again.
    const std::string cut = importJournalLine(entries[0]).substr(0, 30);
    expectSame(importJournalRead(text + cut), entries);
    expectSame(importJournalRead("garbage line\n" + text + "zz 1 2 3 x\n"), entries);
    EXPECT_TRUE(importJournalRead("").empty());
}
