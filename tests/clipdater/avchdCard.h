// Builds AVCHD card folders and playlist files (the published layout: play items with their
// stream tables, entry marks, PLEX extension data with one dated mark extension per shot, which
// clipdater reads by its markers), and runs programs as child processes. Plain C++ (POSIX), shared
// by the clipdater tests and the clipdater benchmark.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char **environ;

namespace avchd {

namespace fs = std::filesystem;

using Bytes = std::string;

/// One clip record: the clip number (00000 to 25599) and the six BCD date bytes
/// (year within the century, month, day, hour, minute, second).
struct ClipRecord {
    int clip = 0;
    std::array<unsigned char, 6> date{};
};

inline constexpr unsigned char kStartMarker[] = {0xFF, 0xFF, 0x1E, 0x20};

/// The two clip-number bytes: the number's hundreds and its last two digits, which clipdater
/// prints as "%03d%02d".
inline unsigned char clipHigh(int clip) {
    return static_cast<unsigned char>(clip / 100);
}
inline unsigned char clipLow(int clip) {
    return static_cast<unsigned char>(clip % 100);
}

/// Twelve bytes of one record: A, two filler bytes, B, the record marker 1E 20, the date.
inline Bytes recordBytes(const ClipRecord &record) {
    Bytes bytes;
    bytes += static_cast<char>(clipHigh(record.clip));
    bytes += '\0';
    bytes += '\0';
    bytes += static_cast<char>(clipLow(record.clip));
    bytes += '\x1E';
    bytes += '\x20';
    for (const unsigned char b : record.date) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

/// A playlist file: a header without markers, the start marker, the records (each followed by
/// four filler bytes) and a short tail.
inline Bytes playlistBytes(const std::vector<ClipRecord> &records) {
    Bytes bytes = "MPLS0100";
    bytes += Bytes(24, '\0');
    bytes.append(reinterpret_cast<const char *>(kStartMarker), sizeof kStartMarker);
    for (const ClipRecord &record : records) {
        bytes += recordBytes(record);
        bytes += Bytes(4, '\0');
    }
    bytes += Bytes(6, '\x01');
    return bytes;
}

/// One play item of a playlist: the clip it plays ("00001" for 00001.MTS), its in and out times
/// (45 kHz ticks of the clip's clock) and its connection condition (1: the first item; 5: a new
/// shot; 6: a piece continuing the item before it, as a camera lists the later stream files of
/// a recording it cut at the card's file-size limit), and the video format and rate codes its
/// stream table gives (6 and 3: 1080p at 25 pictures/s).
struct PlayItem {
    int clip = 0;
    std::uint32_t inTime = 0;
    std::uint32_t outTime = 0;
    int connection = 1;
    int videoFormat = 6;
    int videoRate = 3;
};

/// One mark of the PlayListMark section: its type (1 an entry mark, where a shot begins), the
/// index of the item it points at and its time (45 kHz, the item's in time for an entry mark).
struct PlayListMark {
    int type = 1;
    unsigned item = 0;
    std::uint32_t time = 0;
};

/// The PIDs of the clips' video and sound, as ffmpeg's transport-stream muxer gives them.
inline constexpr unsigned kVideoPid = 0x100;
inline constexpr unsigned kAudioPid = 0x101;

inline void putU8(Bytes &bytes, unsigned value) {
    bytes += static_cast<char>(value & 0xFF);
}
inline void putU16(Bytes &bytes, unsigned value) {
    putU8(bytes, value >> 8);
    putU8(bytes, value);
}
inline void putU32(Bytes &bytes, std::uint32_t value) {
    putU16(bytes, value >> 16);
    putU16(bytes, value & 0xFFFF);
}

inline std::string clipName(int clip) {
    char name[16];
    std::snprintf(name, sizeof name, "%05d", clip);
    return name;
}

/// One stream of a stream table: the entry (its length, type 1: a stream of the clip, the PID,
/// reserved bytes) and the attributes (their length, the coding type, the format and rate codes,
/// and the language for sound or three reserved bytes for video).
inline Bytes streamBytes(unsigned pid, unsigned coding, unsigned format, unsigned rate,
                         const std::string &language) {
    Bytes bytes;
    putU8(bytes, 9);
    putU8(bytes, 1);
    putU16(bytes, pid);
    bytes += Bytes(6, '\0');
    putU8(bytes, 5);
    putU8(bytes, coding);
    putU8(bytes, (format & 0x0F) << 4 | (rate & 0x0F));
    bytes += language.empty() ? Bytes(3, '\0') : language.substr(0, 3);
    return bytes;
}

/// The bytes of one play item by the playlist format's layout, as camcorders write it (80 bytes
/// after its length): the clip's name and codec identifier, the multi-angle flag and connection
/// condition, the STC reference, the in and out times, the user-operation mask, the
/// random-access and still fields, and a stream table of one H.264 picture and one AC-3 stereo
/// sound at 48 kHz.
inline Bytes playItemBytes(const PlayItem &item) {
    Bytes body = clipName(item.clip) + "M2TS";
    putU16(body, static_cast<unsigned>(item.connection) & 0x0F);
    putU8(body, 0); // ref_to_STC_id
    putU32(body, item.inTime);
    putU32(body, item.outTime);
    body += Bytes(8, '\0'); // UO_mask_table
    putU8(body, 0);         // random-access flag
    putU8(body, 0);         // still mode
    putU16(body, 0);        // still time
    // STN_table: its length, 2 reserved bytes, the seven stream counts (one picture, one
    // sound), 5 reserved bytes, then the streams.
    Bytes table;
    putU16(table, 0);
    for (const unsigned count : {1U, 1U, 0U, 0U, 0U, 0U, 0U}) {
        putU8(table, count);
    }
    table += Bytes(5, '\0');
    table += streamBytes(kVideoPid, 0x1B, static_cast<unsigned>(item.videoFormat),
                         static_cast<unsigned>(item.videoRate), "");
    table += streamBytes(kAudioPid, 0x81, 3, 1, "eng");
    putU16(body, static_cast<unsigned>(table.size()));
    body += table;
    Bytes bytes;
    putU16(bytes, static_cast<unsigned>(body.size()));
    return bytes + body;
}

/// The entry marks a camera writes: one at the in time of every item that begins a shot (any
/// condition but 6).
inline std::vector<PlayListMark> entryMarks(const std::vector<PlayItem> &items) {
    std::vector<PlayListMark> marks;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].connection != 6) {
            marks.push_back({1, static_cast<unsigned>(i), items[i].inTime});
        }
    }
    return marks;
}

/// The "1E 20" zone and century bytes followed by the six BCD date bytes of a record.
inline Bytes zoneAndDate(const ClipRecord &record) {
    Bytes bytes = "\x1E\x20";
    for (const unsigned char b : record.date) {
        bytes += static_cast<char>(b);
    }
    return bytes;
}

/// One mark extension of the PLEX data (66 bytes): maker and model codes, flags, the clip
/// number's hundreds, two reserved bytes, its last two digits, the time-zone byte (0x1E), the
/// shot's date and time in BCD (century 20 first), the shot's name, the maker's data and the
/// timecode (all zero here). clipdater finds it by its zone and century bytes.
inline Bytes markExtensionBytes(const ClipRecord &record) {
    Bytes bytes;
    putU16(bytes, 0x0103); // maker
    putU16(bytes, 0x0001); // model
    putU8(bytes, 0);       // flags
    putU8(bytes, 0);
    bytes += recordBytes(record).substr(0, 4); // A, two reserved bytes, B
    bytes += zoneAndDate(record);
    bytes += Bytes(24, '\0'); // name
    bytes += Bytes(16, '\0'); // maker's data
    bytes += Bytes(4, '\0');  // timecode
    bytes += Bytes(4, '\0');
    return bytes;
}

/// The ExtensionData section: its length, the data block's address (0x18 from the section's
/// start), one entry (ID1 0x1000, ID2 0x0100: the PLEX data) with its address and length, then
/// the PLEX data: "PLEX0100", the playlist's block (maker, model, no thumbnail FF FF, the zone
/// byte and the first shot's date: clipdater's start marker FF FF 1E 20), the number of mark
/// extensions and one per mark, dated by the record of the clip the mark points at (zeros when
/// none is given).
inline Bytes extensionDataBytes(const std::vector<ClipRecord> &records,
                                const std::vector<PlayItem> &items,
                                const std::vector<PlayListMark> &marks) {
    Bytes plex = "PLEX0100";
    putU16(plex, 0x0103);
    putU16(plex, 0x0001);
    putU16(plex, 0);
    plex.append(reinterpret_cast<const char *>(kStartMarker), sizeof kStartMarker);
    const ClipRecord first = records.empty() ? ClipRecord{} : records.front();
    plex += zoneAndDate(first).substr(2);
    plex += Bytes(8, '\0');
    putU16(plex, static_cast<unsigned>(marks.size()));
    for (const PlayListMark &mark : marks) {
        ClipRecord record{mark.item < items.size() ? items[mark.item].clip : 0, {}};
        for (const ClipRecord &given : records) {
            if (given.clip == record.clip) {
                record = given;
            }
        }
        plex += markExtensionBytes(record);
    }
    Bytes bytes;
    putU32(bytes, static_cast<std::uint32_t>(20 + plex.size()));
    putU32(bytes, 0x18);
    putU32(bytes, 1); // 3 reserved bytes, one entry
    putU16(bytes, 0x1000);
    putU16(bytes, 0x0100);
    putU32(bytes, 0x18);
    putU32(bytes, static_cast<std::uint32_t>(plex.size()));
    return bytes + plex;
}

/// A playlist file by the format's layout, as a camcorder writes it: the header with the
/// section addresses, an application-info section (sequential playback), the PlayList section
/// with the play items, the PlayListMark section with `marks`, and the extension data with the
/// PLEX data that dates every mark's shot.
inline Bytes playlistBytes(const std::vector<ClipRecord> &records,
                           const std::vector<PlayItem> &items,
                           const std::vector<PlayListMark> &marks) {
    Bytes appInfo;
    putU32(appInfo, 14);
    putU8(appInfo, 0);
    putU8(appInfo, 1); // playback type: sequential
    appInfo += Bytes(12, '\0');
    Bytes playList;
    Bytes itemBytes;
    for (const PlayItem &item : items) {
        itemBytes += playItemBytes(item);
    }
    putU32(playList, static_cast<std::uint32_t>(6 + itemBytes.size()));
    putU16(playList, 0); // reserved
    putU16(playList, static_cast<unsigned>(items.size()));
    putU16(playList, 0); // sub-paths
    playList += itemBytes;
    Bytes markBytes;
    putU32(markBytes, static_cast<std::uint32_t>(2 + 14 * marks.size()));
    putU16(markBytes, static_cast<unsigned>(marks.size()));
    for (const PlayListMark &mark : marks) {
        putU8(markBytes, 0);
        putU8(markBytes, static_cast<unsigned>(mark.type));
        putU16(markBytes, mark.item);
        putU32(markBytes, mark.time);
        putU16(markBytes, 0xFFFF); // entry ES PID: none
        putU32(markBytes, 0);      // duration
    }
    const Bytes extension = extensionDataBytes(records, items, marks);

    const std::uint32_t playListStart = 40 + static_cast<std::uint32_t>(appInfo.size());
    const std::uint32_t marksStart = playListStart + static_cast<std::uint32_t>(playList.size());
    const std::uint32_t extensionStart = marksStart + static_cast<std::uint32_t>(markBytes.size());
    Bytes bytes = "MPLS0100";
    putU32(bytes, playListStart);
    putU32(bytes, marksStart);
    putU32(bytes, extensionStart);
    bytes += Bytes(20, '\0');
    return bytes + appInfo + playList + markBytes + extension;
}

/// A camera's playlist: an entry mark at every item that begins a shot.
inline Bytes playlistBytes(const std::vector<ClipRecord> &records,
                           const std::vector<PlayItem> &items) {
    return playlistBytes(records, items, entryMarks(items));
}

/// The play items of one recording split into `pieces` stream files numbered from `firstClip`,
/// each `ticks` long (45 kHz) from `start` on: the first begins the recording (condition 1), the
/// others continue it (condition 6).
inline std::vector<PlayItem> spannedItems(int firstClip, int pieces, std::uint32_t start,
                                          std::uint32_t ticks) {
    std::vector<PlayItem> items;
    for (int i = 0; i < pieces; ++i) {
        const std::uint32_t in = start + static_cast<std::uint32_t>(i) * ticks;
        items.push_back({firstClip + i, in, in + ticks, i == 0 ? 1 : 6});
    }
    return items;
}

/// The line clipdater prints for a record.
inline std::string expectedLine(const ClipRecord &record) {
    char line[64];
    std::snprintf(line, sizeof line, "%03d%02d : clip-20%02X-%02X-%02X %02X;%02X;%02X\n",
                  record.clip / 100, record.clip % 100, record.date[0], record.date[1],
                  record.date[2], record.date[3], record.date[4], record.date[5]);
    return line;
}

inline std::string expectedLines(const std::vector<ClipRecord> &records) {
    std::string lines;
    for (const ClipRecord &record : records) {
        lines += expectedLine(record);
    }
    return lines;
}

inline void writeFile(const fs::path &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Where the card keeps its BDMV folder.
enum class CardForm {
    Bdmv,        // <card>/BDMV/
    PrivateAvchd // <card>/PRIVATE/AVCHD/BDMV/
};

inline fs::path bdmvFolder(const fs::path &card, CardForm form) {
    return form == CardForm::Bdmv ? card / "BDMV" : card / "PRIVATE" / "AVCHD" / "BDMV";
}

/// Makes the card's BDMV folder with PLAYLIST, CLIPINF and STREAM (an empty stream file per
/// listed clip) and answers the PLAYLIST folder.
inline fs::path makeCard(const fs::path &card, CardForm form) {
    const fs::path bdmv = bdmvFolder(card, form);
    fs::create_directories(bdmv / "PLAYLIST");
    fs::create_directories(bdmv / "CLIPINF");
    fs::create_directories(bdmv / "STREAM");
    writeFile(bdmv / "INDEX.BDM", "INDX0100");
    writeFile(bdmv / "MOVIEOBJ.BDM", "MOBJ0100");
    return bdmv / "PLAYLIST";
}

inline std::string streamName(int clip) {
    char name[32];
    std::snprintf(name, sizeof name, "%05d.MTS", clip);
    return name;
}

/// Writes a playlist into the card's PLAYLIST folder and an empty stream file for each clip.
inline void addPlaylist(const fs::path &playlistFolder, const std::string &name,
                        const std::vector<ClipRecord> &records) {
    writeFile(playlistFolder / name, playlistBytes(records));
    for (const ClipRecord &record : records) {
        const fs::path stream = playlistFolder.parent_path() / "STREAM" / streamName(record.clip);
        if (!fs::exists(stream)) {
            writeFile(stream, Bytes());
        }
    }
}

/// A fresh folder under /tmp (short, so a socket path fits), removed with its contents.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/clipdater-XXXXXX";
        const char *made = mkdtemp(pattern);
        path_ = made != nullptr ? fs::path(made) : fs::path();
    }
    ~TempDir() {
        std::error_code error;
        if (!path_.empty()) {
            // Give back any permission a test took away, so everything can be removed.
            for (auto it = fs::recursive_directory_iterator(
                     path_, fs::directory_options::skip_permission_denied, error);
                 !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
                if (!it->is_symlink(error)) {
                    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
                }
            }
            fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
            fs::remove_all(path_, error);
        }
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const fs::path &path() const { return path_; }

private:
    fs::path path_;
};

/// What a child process left: its standard output and error, and its exit status (-1 when it
/// did not exit normally, e.g. killed by a signal).
struct RunResult {
    std::string out;
    std::string err;
    int status = -1;
};

/// Runs `program` with the argument vector `argv` (argv[0] as given, which need not be the
/// program's path) and the extra environment entries, and waits for it. Standard output and
/// error are captured through files in `scratch`.
inline RunResult runProgram(const std::string &program, const std::vector<std::string> &argv,
                            const fs::path &scratch,
                            const std::vector<std::string> &extraEnv = {}) {
    RunResult result;
    const fs::path outPath = scratch / "stdout.txt";
    const fs::path errPath = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char *> args;
    for (const std::string &arg : argv) {
        args.push_back(const_cast<char *>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char *> env;
    for (char **e = environ; *e != nullptr; ++e) {
        env.push_back(*e);
    }
    for (const std::string &entry : extraEnv) {
        env.push_back(const_cast<char *>(entry.c_str()));
    }
    env.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return result;
    }
    int waitStatus = 0;
    pid_t waited = 0;
    do {
        waited = waitpid(pid, &waitStatus, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid && WIFEXITED(waitStatus)) {
        result.status = WEXITSTATUS(waitStatus);
    }
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return result;
}

} // namespace avchd
