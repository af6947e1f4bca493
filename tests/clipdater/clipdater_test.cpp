// clipdater run as a child process on card folders built byte by byte: its standard output,
// standard error and exit status are checked exactly.

#include "avchdCard.h"
#include "sharedTestData.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace avchd;

namespace {

const std::string kClipdater = CLIPDATER_PATH;

const std::string kUsageTail = " <path to folder containing *.CPI files\n";

RunResult runClipdater(const std::vector<std::string> &args, const fs::path &scratch,
                       const std::string &program = kClipdater) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(program, argv, scratch);
}

// The names of a folder in the order the system lists them, which is the order clipdater reads
// its playlists in.
std::vector<std::string> listingOrder(const fs::path &folder) {
    std::vector<std::string> names;
    if (DIR *dir = opendir(folder.c_str())) {
        while (const dirent *entry = readdir(dir)) {
            names.emplace_back(entry->d_name);
        }
        closedir(dir);
    }
    return names;
}

// The output expected from a folder whose playlists all read fine: each playlist's lines, in
// listing order.
std::string linesInListingOrder(const fs::path &folder,
                                const std::map<std::string, std::string> &linesByName) {
    std::string out;
    for (const std::string &name : listingOrder(folder)) {
        const auto it = linesByName.find(name);
        if (it != linesByName.end()) {
            out += it->second;
        }
    }
    return out;
}

ClipRecord rec(int clip, std::array<unsigned char, 6> date) {
    return ClipRecord{clip, date};
}

Bytes raw(std::initializer_list<int> values) {
    Bytes bytes;
    for (const int v : values) {
        bytes += static_cast<char>(v);
    }
    return bytes;
}

bool makeSocket(const fs::path &path) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const bool bound = bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(fd);
    return bound;
}

class Clipdater : public ::testing::Test {
protected:
    TempDir tmp;
    fs::path scratch() {
        const fs::path dir = tmp.path() / "scratch";
        fs::create_directories(dir);
        return dir;
    }
};

} // namespace

TEST_F(Clipdater, WrongArgumentCountPrintsVersionAndUsage) {
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{}, std::vector<std::string>{"a", "b"}}) {
        const RunResult r = runClipdater(args, scratch());
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Version: 0.1\nUsage: " + kClipdater + kUsageTail);
        EXPECT_EQ(r.status, 0);
    }
    // The usage names the program as it was typed.
    const RunResult typed = runProgram(kClipdater, {"./clipdater"}, scratch());
    EXPECT_EQ(typed.err, "Version: 0.1\nUsage: ./clipdater" + kUsageTail);
}

// A playlist as a camcorder writes it (three shots, then one recording cut into three files,
// then a shot: conditions 1 5 5 5 6 6 5, an entry mark and a dated mark extension per shot):
// clipdater dates the shots, not the pieces, and Debian's libbluray reads the playlist as the
// card's one title with one chapter per shot, its seven clips and their streams.
TEST_F(Clipdater, CameraPlaylistDatesShotsAndReadsAsOneChapterPerShot) {
    const fs::path card = tmp.path() / "camera";
    const fs::path playlists = makeCard(card, CardForm::PrivateAvchd);
    std::vector<PlayItem> items{
        {1, 63000, 153000, 1}, {2, 63000, 153000, 5}, {3, 63000, 153000, 5}};
    for (const PlayItem &item : spannedItems(4, 3, 63000, 45000)) {
        items.push_back({item.clip, item.inTime, item.outTime, item.connection == 1 ? 5 : 6});
    }
    items.push_back({7, 63000, 153000, 5});
    std::vector<ClipRecord> records;
    for (const int clip : {1, 2, 3, 4, 5, 6, 7}) {
        records.push_back(
            rec(clip, {0x24, 0x05, 0x18, 0x10, static_cast<unsigned char>(0x10 + clip), 0x00}));
    }
    writeFile(playlists / "00000.MPL", playlistBytes(records, items));
    for (const PlayItem &item : items) {
        writeFile(playlists.parent_path() / "STREAM" / streamName(item.clip), Bytes());
    }
    const RunResult r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out, expectedLines({records[0], records[1], records[2], records[3], records[6]}));
    EXPECT_EQ(r.status, 0);

    const std::string listTitles = "/usr/bin/bd_list_titles";
    if (access(listTitles.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "no bd_list_titles (Debian's libbluray-bin)";
    }
    // libbluray takes the folder that holds an AVCHD card's BDMV folder.
    const RunResult titles = runProgram(
        listTitles, {listTitles, (card / "PRIVATE" / "AVCHD").string(), "-a"}, scratch());
    EXPECT_EQ(titles.status, 0) << titles.err;
    // 3 shots of 2 s, a recording of 3 s, a shot of 2 s.
    EXPECT_NE(titles.out.find("duration: 00:00:11 chapters:   5 angles:  1 clips:   7 "
                              "(playlist: 00000.mpls) V:1 A:1"),
              std::string::npos)
        << titles.out << titles.err;
    EXPECT_EQ(titles.err.find("error parsing"), std::string::npos) << titles.err;
}

// Both card layouts: two playlists, upper-case ".MPL" names only, lines in listing order.
TEST_F(Clipdater, ListsEveryRecordOfBothCardForms) {
    for (const CardForm form : {CardForm::Bdmv, CardForm::PrivateAvchd}) {
        const fs::path card = tmp.path() / (form == CardForm::Bdmv ? "cardA" : "cardB");
        const fs::path playlists = makeCard(card, form);
        const std::vector<ClipRecord> first = {rec(1, {0x11, 0x06, 0x15, 0x14, 0x30, 0x05}),
                                               rec(2, {0x11, 0x06, 0x15, 0x14, 0x42, 0x59})};
        // Clip numbers whose bytes reach 255 and 99, one whose low byte is 0x1E (30) just
        // before the marker, and a date byte that is not BCD (printed as its hex digits).
        const std::vector<ClipRecord> second = {rec(25599, {0x99, 0x12, 0x31, 0x23, 0x59, 0x59}),
                                                rec(1230, {0x09, 0x01, 0x02, 0x03, 0x04, 0x05}),
                                                rec(7, {0x12, 0xAB, 0x0C, 0x00, 0x00, 0x00})};
        addPlaylist(playlists, "00000.MPL", first);
        addPlaylist(playlists, "00001.MPL", second);
        // Not playlists: lower case, a longer extension, too short a name.
        addPlaylist(playlists, "00002.mpl", {rec(3, {0x11, 1, 1, 1, 1, 1})});
        addPlaylist(playlists, "00003.MPL.bak", {rec(4, {0x11, 1, 1, 1, 1, 1})});
        addPlaylist(playlists, "MPL", {rec(5, {0x11, 1, 1, 1, 1, 1})});

        const RunResult r = runClipdater({playlists.string()}, scratch());
        EXPECT_EQ(r.out, linesInListingOrder(playlists, {{"00000.MPL", expectedLines(first)},
                                                         {"00001.MPL", expectedLines(second)}}));
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
    }
    EXPECT_EQ(expectedLine(rec(1, {0x11, 0x06, 0x15, 0x14, 0x30, 0x05})),
              "00001 : clip-2011-06-15 14;30;05\n");
}

TEST_F(Clipdater, ClipInTwoPlaylistsGivesTwoLinesAndANameOfFourCharactersCounts) {
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::Bdmv);
    const ClipRecord shared = rec(3, {0x11, 0x06, 0x15, 0x14, 0x30, 0x05});
    addPlaylist(playlists, "00000.MPL", {shared});
    addPlaylist(playlists, "00001.MPL", {rec(4, {0x11, 7, 7, 7, 7, 7}), shared});
    addPlaylist(playlists, ".MPL", {rec(9, {0x12, 1, 2, 3, 4, 5})});
    const RunResult r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out, linesInListingOrder(
                         playlists, {{"00000.MPL", expectedLine(shared)},
                                     {"00001.MPL", expectedLine(rec(4, {0x11, 7, 7, 7, 7, 7})) +
                                                       expectedLine(shared)},
                                     {".MPL", expectedLine(rec(9, {0x12, 1, 2, 3, 4, 5}))}}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(Clipdater, EmptyFolderAndLowerCaseNamesGiveNothing) {
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::PrivateAvchd);
    RunResult r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(r.status, 0);
    addPlaylist(playlists, "00000.mpl", {rec(1, {0x11, 1, 1, 1, 1, 1})});
    r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(r.status, 0);
}

// The marker rules, one playlist per case; each file is alone in its folder.
TEST_F(Clipdater, MarkerSearchRules) {
    const Bytes date = raw({0x11, 0x06, 0x15, 0x14, 0x30, 0x05});
    const std::string line = "00001 : clip-2011-06-15 14;30;05\n";
    struct Case {
        const char *what;
        Bytes bytes;
        std::string out;
    };
    const std::vector<Case> cases = {
        {"record marker right after the start marker is found",
         raw({0xFF, 0xFF, 0x1E, 0x20, 0x1E, 0x20}) + date,
         // A is the start marker's first byte, B its last (0x20)
         "25532 : clip-2011-06-15 14;30;05\n"},
        {"the start marker's own 1E 20 is no record", raw({0, 0, 0, 0xFF, 0xFF, 0x1E, 0x20}) + date,
         ""},
        {"records before the start marker are ignored",
         raw({0, 0, 0, 1, 0x1E, 0x20}) + date + raw({0xFF, 0xFF, 0x1E, 0x20, 0}), ""},
        {"no start marker", raw({0, 0, 0, 1, 0x1E, 0x20}) + date + raw({0x1E, 0x20}) + date, ""},
        {"record ending on the last byte is printed",
         raw({0xFF, 0xFF, 0x1E, 0x20, 0, 0, 0, 1, 0x1E, 0x20}) + date, line},
        {"record one byte short ends the file",
         raw({0xFF, 0xFF, 0x1E, 0x20, 0, 0, 0, 1, 0x1E, 0x20}) + date.substr(0, 5), ""},
        {"search goes on two bytes after a record marker",
         // The date begins with 1E 20: a record of its own, with A = 0 and B = 0x20 (the first
         // record marker's second byte).
         raw({0xFF, 0xFF, 0x1E, 0x20, 0, 0, 0, 1, 0x1E, 0x20, 0x1E, 0x20, 0x15, 0x14, 0x30, 0x05,
              0x07, 0x08}),
         "00001 : clip-201E-20-15 14;30;05\n00032 : clip-2015-14-30 05;07;08\n"},
        {"start marker with one byte after it", raw({0xFF, 0xFF, 0x1E, 0x20, 0x00}), ""},
        {"empty file", Bytes(), ""},
    };
    int n = 0;
    for (const Case &c : cases) {
        const fs::path folder = tmp.path() / ("case" + std::to_string(n++));
        fs::create_directories(folder);
        writeFile(folder / "00000.MPL", c.bytes);
        const RunResult r = runClipdater({folder.string()}, scratch());
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(r.status, 0) << c.what;
    }
}

// A file whose search ends early, or that has no start marker, does not stop the listing.
TEST_F(Clipdater, ShortOrMarkerlessPlaylistDoesNotStopTheListing) {
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::Bdmv);
    const std::vector<ClipRecord> good = {rec(12, {0x13, 0x01, 0x02, 0x03, 0x04, 0x05})};
    Bytes cut = playlistBytes({rec(1, {0x11, 1, 1, 1, 1, 1})});
    cut.resize(32 + 4 + 12 - 1); // the record's last date byte is missing
    writeFile(playlists / "00000.MPL", cut);
    writeFile(playlists / "00001.MPL", "MPLS0100 no marker here");
    addPlaylist(playlists, "00002.MPL", good);
    const RunResult r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out, expectedLines(good));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Clipdater, FolderThatCannotBeEntered) {
    const fs::path missing = tmp.path() / "no such folder";
    RunResult r = runClipdater({missing.string()}, scratch());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "Cannot change directory:" + missing.string() + ":No such file or directory\n");
    EXPECT_EQ(r.status, 0);

    const fs::path file = tmp.path() / "file.MPL";
    writeFile(file, "x");
    r = runClipdater({file.string()}, scratch());
    EXPECT_EQ(r.err, "Cannot change directory:" + file.string() + ":Not a directory\n");
    EXPECT_EQ(r.status, 0);

    const fs::path loop = tmp.path() / "loop";
    fs::create_symlink("loop", loop);
    r = runClipdater({loop.string()}, scratch());
    EXPECT_EQ(r.err,
              "Cannot change directory:" + loop.string() + ":Too many levels of symbolic links\n");
    EXPECT_EQ(r.status, 0);
}

TEST_F(Clipdater, FolderThatCannotBeListed) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the super-user";
    }
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::Bdmv);
    fs::permissions(playlists, fs::perms::owner_write | fs::perms::owner_exec);
    const RunResult r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Error reading directory:" + playlists.string() + ":Permission denied\n");
    EXPECT_EQ(r.status, 0);
}

namespace {

// A card with a good playlist on each side of a bad entry. Whatever the listing order, the
// lines of the playlists read before the bad entry stay printed, the bad entry prints `message`
// and ends the run with `status`, and nothing listed after it is read.
void expectRunStopsAt(const fs::path &playlists, const std::string &badName,
                      const std::string &message, int status, const fs::path &scratch) {
    const std::vector<ClipRecord> a = {rec(1, {0x11, 1, 1, 1, 1, 1})};
    const std::vector<ClipRecord> b = {rec(2, {0x11, 2, 2, 2, 2, 2})};
    const std::vector<ClipRecord> c = {rec(3, {0x11, 3, 3, 3, 3, 3})};
    addPlaylist(playlists, "00000.MPL", a);
    addPlaylist(playlists, "00001.MPL", b);
    addPlaylist(playlists, "00002.MPL", c);
    const std::map<std::string, std::string> lines = {{"00000.MPL", expectedLines(a)},
                                                      {"00001.MPL", expectedLines(b)},
                                                      {"00002.MPL", expectedLines(c)}};
    std::string before;
    for (const std::string &name : listingOrder(playlists)) {
        if (name == badName) {
            break;
        }
        if (lines.count(name) != 0) {
            before += lines.at(name);
        }
    }
    const RunResult r = runClipdater({playlists.string()}, scratch);
    EXPECT_EQ(r.out, before) << badName;
    EXPECT_EQ(r.err, message) << badName;
    EXPECT_EQ(r.status, status) << badName;
}

} // namespace

TEST_F(Clipdater, UnreadablePlaylistStopsTheListingWithStatusZero) {
    // A socket cannot be opened for reading, even by the super-user.
    const fs::path socketCard = makeCard(tmp.path() / "s", CardForm::Bdmv);
    ASSERT_TRUE(makeSocket(socketCard / "SOCK.MPL"));
    expectRunStopsAt(socketCard, "SOCK.MPL",
                     "Error opening file:SOCK.MPL:No such device or address\n", 0, scratch());

    // A folder named like a playlist is no file to read.
    const fs::path folderCard = makeCard(tmp.path() / "d", CardForm::PrivateAvchd);
    fs::create_directories(folderCard / "00005.MPL" / "inside");
    expectRunStopsAt(folderCard, "00005.MPL", "Error opening file:00005.MPL:Is a directory\n", 0,
                     scratch());

    // A playlist far beyond any real size is refused without being loaded (sparse: no disk).
    const fs::path hugeCard = makeCard(tmp.path() / "h", CardForm::Bdmv);
    writeFile(hugeCard / "HUGE.MPL", playlistBytes({rec(8, {0x11, 8, 8, 8, 8, 8})}));
    fs::resize_file(hugeCard / "HUGE.MPL", std::uintmax_t{5} << 30);
    expectRunStopsAt(hugeCard, "HUGE.MPL", "Error opening file:HUGE.MPL:File too large\n", 0,
                     scratch());

    if (geteuid() != 0) {
        const fs::path lockedCard = makeCard(tmp.path() / "p", CardForm::Bdmv);
        writeFile(lockedCard / "LOCK.MPL", playlistBytes({rec(9, {0x11, 9, 9, 9, 9, 9})}));
        fs::permissions(lockedCard / "LOCK.MPL", fs::perms::none);
        expectRunStopsAt(lockedCard, "LOCK.MPL", "Error opening file:LOCK.MPL:Permission denied\n",
                         0, scratch());
    }
}

TEST_F(Clipdater, PlaylistWithoutStatusStopsTheListingWithStatusOne) {
    const fs::path loopCard = makeCard(tmp.path() / "l", CardForm::Bdmv);
    fs::create_symlink("LOOP.MPL", loopCard / "LOOP.MPL");
    expectRunStopsAt(loopCard, "LOOP.MPL",
                     "Error getting file stats:LOOP.MPL:Too many levels of symbolic links\n", 1,
                     scratch());

    const fs::path danglingCard = makeCard(tmp.path() / "g", CardForm::PrivateAvchd);
    fs::create_symlink("gone", danglingCard / "GONE.MPL");
    expectRunStopsAt(danglingCard, "GONE.MPL",
                     "Error getting file stats:GONE.MPL:No such file or directory\n", 1, scratch());
}

TEST_F(Clipdater, PlaylistThroughSymbolicLinkOrFifoIsRead) {
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::Bdmv);
    const std::vector<ClipRecord> linked = {rec(21, {0x14, 2, 3, 4, 5, 6})};
    writeFile(tmp.path() / "elsewhere.bin", playlistBytes(linked));
    fs::create_symlink(tmp.path() / "elsewhere.bin", playlists / "00000.MPL");
    // A FIFO has no size and must not wait for a writer.
    ASSERT_EQ(mkfifo((playlists / "00001.MPL").c_str(), 0644), 0);
    const RunResult r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out, expectedLines(linked));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

// Blu-ray playlists carry no camcorder date records.
TEST_F(Clipdater, RealBluRayPlaylistsGiveNoLines) {
    FLUXARO_NEEDS_SHARED_TEST_DATA();
    const fs::path real = fluxaro::test::sharedTestDataDir();
    const fs::path playlists = makeCard(tmp.path() / "card", CardForm::Bdmv);
    int count = 0;
    std::error_code error;
    for (const auto &entry : fs::directory_iterator(real, error)) {
        if (entry.path().extension() == ".mpls") {
            fs::create_symlink(entry.path(), playlists / (entry.path().stem().string() + ".MPL"));
            ++count;
        }
    }
    ASSERT_GT(count, 0) << "no .mpls playlist in " << real;
    const RunResult r = runClipdater({playlists.string()}, scratch());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
}

#ifdef CLIPDATER_ASAN_PATH
namespace {

// Runs the AddressSanitizer build and the normal build on the same folder: the sanitizer must
// stay silent and both must answer the same.
void expectSameUnderAsan(const fs::path &folder, const fs::path &scratch, const char *what) {
    const RunResult plain = runClipdater({folder.string()}, scratch);
    const std::string asan = CLIPDATER_ASAN_PATH;
    const RunResult checked =
        runProgram(asan, {kClipdater, folder.string()}, scratch,
                   {"ASAN_OPTIONS=exitcode=86:detect_leaks=1", "UBSAN_OPTIONS=exitcode=87"});
    EXPECT_EQ(checked.status, plain.status) << what << "\n" << checked.err;
    EXPECT_EQ(checked.err, plain.err) << what;
    EXPECT_EQ(checked.out, plain.out) << what;
    EXPECT_EQ(checked.err.find("Sanitizer"), std::string::npos) << what;
}

} // namespace

TEST_F(Clipdater, BadInputsUnderAddressSanitizer) {
    // Every cut of a playlist, and files made only of marker bytes, each as its own playlist in
    // one folder: each ends at every possible byte of a marker or a record.
    const fs::path cuts = tmp.path() / "cuts";
    fs::create_directories(cuts);
    const Bytes whole = playlistBytes({rec(1, {0x11, 0x06, 0x15, 0x14, 0x30, 0x05}),
                                       rec(2, {0x11, 0x06, 0x15, 0x14, 0x31, 0x05})});
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        writeFile(cuts / ("C" + std::to_string(size) + ".MPL"), whole.substr(0, size));
    }
    const Bytes markers = raw({0xFF, 0xFF, 0x1E, 0x20, 0x1E, 0x20, 0x1E, 0x20, 0x1E, 0x20, 0x1E,
                               0x20, 0x1E, 0x20, 0x1E, 0x20, 0x1E, 0x20});
    for (std::size_t size = 0; size <= markers.size(); ++size) {
        writeFile(cuts / ("M" + std::to_string(size) + ".MPL"), markers.substr(0, size));
        writeFile(cuts / ("E" + std::to_string(size) + ".MPL"),
                  markers.substr(markers.size() - size));
    }
    expectSameUnderAsan(cuts, scratch(), "cut playlists");
    EXPECT_FALSE(runClipdater({cuts.string()}, scratch()).out.empty());

    const fs::path huge = tmp.path() / "huge";
    fs::create_directories(huge);
    writeFile(huge / "HUGE.MPL", whole);
    fs::resize_file(huge / "HUGE.MPL", std::uintmax_t{1} << 40);
    expectSameUnderAsan(huge, scratch(), "huge playlist");

    const fs::path folder = tmp.path() / "folder";
    fs::create_directories(folder / "DIR.MPL");
    expectSameUnderAsan(folder, scratch(), "folder named like a playlist");

    const fs::path loop = tmp.path() / "loop";
    fs::create_directories(loop);
    fs::create_symlink("L.MPL", loop / "L.MPL");
    expectSameUnderAsan(loop, scratch(), "symbolic link loop");

    const fs::path sock = tmp.path() / "sock";
    fs::create_directories(sock);
    ASSERT_TRUE(makeSocket(sock / "S.MPL"));
    expectSameUnderAsan(sock, scratch(), "socket");

    expectSameUnderAsan(tmp.path() / "missing", scratch(), "missing folder");
}
#endif
