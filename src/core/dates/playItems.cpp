#include "dates/playItems.h"

namespace {

// The playlist format's layout, from the start of the file:
//   0  "MPLS", 4  version ("0100", "0200", "0300"),
//   8  PlayList_start_address, 12 PlayListMark_start_address, 16 ExtensionData_start_address
//      (each a big-endian 32-bit offset from the start of the file).
// The PlayList section: its length (32 bits, the bytes after this field), 16 reserved bits,
// number_of_PlayItems (16), number_of_SubPaths (16), then the items. Each item: its length (16
// bits, the bytes after this field), Clip_Information_file_name (5 characters),
// Clip_codec_identifier (4), 11 reserved bits, is_multi_angle (1), connection_condition (4),
// ref_to_STC_id (8), IN_time (32), OUT_time (32), then fields this reader does not need.
// The PlayListMark section: its length (32), number_of_PlayList_marks (16), then 14 bytes per
// mark: reserved (8), mark_type (8), ref_to_PlayItem_id (16), mark_time_stamp (32),
// entry_ES_PID (16), duration (32).
constexpr std::size_t kHeaderSize = 20;
constexpr std::size_t kMarkSize = 14;
constexpr std::size_t kPlayListFixed = 10;
// An item's bytes up to OUT_time, counted after its length field.
constexpr std::size_t kItemFixed = 5 + 4 + 2 + 1 + 4 + 4;

// A view of bytes whose reads are checked against its end.
class byteView {
public:
    byteView(const unsigned char *data, std::size_t size) : data_(data), size_(size) {}
    [[nodiscard]] bool has(std::size_t at, std::size_t count) const {
        return at <= size_ && count <= size_ - at;
    }
    [[nodiscard]] std::uint32_t u16(std::size_t at) const {
        return static_cast<std::uint32_t>(data_[at]) << 8 | data_[at + 1];
    }
    [[nodiscard]] std::uint32_t u32(std::size_t at) const { return u16(at) << 16 | u16(at + 2); }
    [[nodiscard]] const unsigned char *at(std::size_t at) const { return data_ + at; }

private:
    const unsigned char *data_;
    std::size_t size_;
};

bool isClipNameCharacter(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The marks of the PlayListMark section at the header's second address; nothing when the
// section lies outside the file or its marks run past its length.
std::optional<std::vector<playListMark>> readMarks(const byteView &file) {
    const std::size_t start = file.u32(12);
    if (start < kHeaderSize || !file.has(start, 6)) {
        return std::nullopt;
    }
    const std::size_t length = file.u32(start);
    if (length < 2 || !file.has(start + 4, length)) {
        return std::nullopt;
    }
    const std::size_t count = file.u16(start + 4);
    if ((length - 2) / kMarkSize < count) {
        return std::nullopt;
    }
    std::vector<playListMark> marks;
    marks.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = start + 6 + i * kMarkSize;
        playListMark mark;
        mark.type = *file.at(at + 1);
        mark.item = file.u16(at + 2);
        mark.time = file.u32(at + 4);
        marks.push_back(mark);
    }
    return marks;
}

} // namespace

std::optional<playListContents> readPlayList(const unsigned char *data, std::size_t size) {
    if (data == nullptr) {
        return std::nullopt;
    }
    const byteView file(data, size);
    if (!file.has(0, kHeaderSize) || data[0] != 'M' || data[1] != 'P' || data[2] != 'L' ||
        data[3] != 'S') {
        return std::nullopt;
    }
    const std::size_t start = file.u32(8);
    if (start < kHeaderSize || !file.has(start, kPlayListFixed)) {
        return std::nullopt;
    }
    const std::size_t length = file.u32(start);
    if (length < kPlayListFixed - 4 || !file.has(start + 4, length)) {
        return std::nullopt;
    }
    // Every item must lie inside the section as well as inside the file.
    const std::size_t sectionEnd = start + 4 + length;
    const std::size_t itemCount = file.u16(start + 6);
    std::vector<playItem> items;
    items.reserve(itemCount);
    std::size_t pos = start + kPlayListFixed;
    for (std::size_t i = 0; i < itemCount; ++i) {
        if (pos > sectionEnd || sectionEnd - pos < 2) {
            return std::nullopt;
        }
        const std::size_t itemLength = file.u16(pos);
        const std::size_t body = pos + 2;
        if (itemLength < kItemFixed || sectionEnd - body < itemLength) {
            return std::nullopt;
        }
        playItem item;
        for (std::size_t k = 0; k < 5; ++k) {
            const unsigned char c = *file.at(body + k);
            if (!isClipNameCharacter(c)) {
                return std::nullopt;
            }
            item.clip += static_cast<char>(c);
        }
        item.connection = static_cast<int>(file.u16(body + 9) & 0x0F);
        item.inTime = file.u32(body + 12);
        item.outTime = file.u32(body + 16);
        items.push_back(std::move(item));
        pos = body + itemLength;
    }
    playListContents list;
    list.items = std::move(items);
    if (std::optional<std::vector<playListMark>> marks = readMarks(file)) {
        list.marks = std::move(*marks);
        list.marksRead = true;
    }
    return list;
}

std::optional<std::vector<playItem>> readPlayItems(const unsigned char *data, std::size_t size) {
    std::optional<playListContents> list = readPlayList(data, size);
    if (!list) {
        return std::nullopt;
    }
    return std::move(list->items);
}

bool playItemContinues(int connection) {
    // 5 is a seamless connection with a clean break: on a camcorder's card, a new shot.
    return connection == 6;
}

std::vector<playItemRun> playItemRecordings(const playListContents &list) {
    const std::vector<playItem> &items = list.items;
    std::vector<playItemRun> runs;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (runs.empty() || !playItemContinues(items[i].connection)) {
            runs.push_back({i, 0, {}});
        }
        ++runs.back().count;
    }
    // What the marks say about the runs of several pieces. A mark past the items or an
    // unreadable mark section makes every mark of the file doubtful; an entry mark on a piece
    // says a shot begins where the condition says the recording goes on.
    std::string whole;
    if (!list.marksRead) {
        whole = "the playlist's mark section is unreadable";
    }
    for (const playListMark &mark : list.marks) {
        if (whole.empty() && mark.item >= items.size()) {
            whole = "a mark of the playlist points at item " + std::to_string(mark.item + 1) +
                    " of its " + std::to_string(items.size());
        }
    }
    for (playItemRun &run : runs) {
        if (run.count < 2) {
            continue;
        }
        run.apart = whole;
        for (const playListMark &mark : list.marks) {
            if (!run.apart.empty()) {
                break;
            }
            if (mark.type == kEntryMark && mark.item > run.first &&
                mark.item < run.first + run.count) {
                run.apart = "an entry mark begins a shot at " + items[mark.item].clip +
                            ", which its connection condition 6 joins to the item before";
            }
        }
    }
    return runs;
}

std::vector<playItemRun> playItemRecordings(const std::vector<playItem> &items) {
    playListContents list;
    list.items = items;
    list.marksRead = true;
    return playItemRecordings(list);
}
