#include "dates/mdpmZone.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr unsigned char kMdpmUuid[16] = {0x17, 0xee, 0x8c, 0x60, 0xf8, 0x4d, 0x11, 0xd9,
                                         0x8c, 0xd6, 0x08, 0x00, 0x20, 0x0c, 0x9a, 0x66};
// UUID, "MDPM", the count byte.
constexpr std::size_t kMdpmHeader = sizeof kMdpmUuid + 4 + 1;
constexpr std::size_t kMdpmEntry = 5;

constexpr int kNalSei = 6;
constexpr std::size_t kSeiUserDataUnregistered = 5;

constexpr std::int32_t kHour = 3600;

// Elementary-stream bytes joined from the first PES packets at most: the SEI comes before the
// first slice of the first access unit, so this holds it with a wide margin.
constexpr std::size_t kMaxEsBytes = 256 * 1024;
// PES packets (one access unit each in camcorder streams) looked at, at most.
constexpr int kMaxPesPackets = 4;
constexpr std::size_t kTsPacket = 188;
constexpr unsigned kStreamTypeH264 = 0x1B;

// Two BCD digits, or -1 when a nibble is no decimal digit.
int bcd(unsigned char byte) {
    const int high = byte >> 4;
    const int low = byte & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

// The user data of one SEI message of type 5, when it is an MDPM message.
std::optional<mdpmDate> mdpmFromUserData(const unsigned char *data, std::size_t size) {
    if (size < kMdpmHeader || std::memcmp(data, kMdpmUuid, sizeof kMdpmUuid) != 0 ||
        std::memcmp(data + sizeof kMdpmUuid, "MDPM", 4) != 0) {
        return std::nullopt;
    }
    const std::size_t count = data[kMdpmHeader - 1];
    mdpmDate answer;
    bool hasYearMonth = false;
    bool hasDayTime = false;
    int fields[6] = {-1, -1, -1, -1, -1, -1};
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t at = kMdpmHeader + k * kMdpmEntry;
        if (at + kMdpmEntry > size) {
            break; // a count larger than the message: the entries that are there
        }
        const unsigned char *entry = data + at;
        if (entry[0] == 0x18 && !answer.zone) {
            answer.zone = entry[1];
            const int century = bcd(entry[2]);
            const int year = bcd(entry[3]);
            fields[0] = century < 0 || year < 0 ? -1 : century * 100 + year;
            fields[1] = bcd(entry[4]);
            hasYearMonth = true;
        } else if (entry[0] == 0x19 && !hasDayTime) {
            for (int i = 0; i < 4; ++i) {
                fields[2 + i] = bcd(entry[1 + i]);
            }
            hasDayTime = true;
        }
    }
    if (hasYearMonth && hasDayTime &&
        std::none_of(std::begin(fields), std::end(fields), [](int field) { return field < 0; })) {
        answer.hasDate = true;
        answer.year = fields[0];
        answer.month = fields[1];
        answer.day = fields[2];
        answer.hour = fields[3];
        answer.minute = fields[4];
        answer.second = fields[5];
    }
    return answer;
}

// The first MDPM message among the SEI messages of one SEI NAL unit's payload (after its header
// byte), emulation-prevention bytes still in.
std::optional<mdpmDate> mdpmFromSeiNal(const unsigned char *data, std::size_t size) {
    // The RBSP: every 03 that follows two zero bytes is there only to keep start codes out.
    std::vector<unsigned char> rbsp;
    rbsp.reserve(size);
    int zeros = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char byte = data[i];
        if (zeros >= 2 && byte == 0x03) {
            zeros = 0;
            continue;
        }
        rbsp.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    std::size_t at = 0;
    const std::size_t end = rbsp.size();
    // A message's type or size: 255 for every 0xFF byte, plus the last byte's value.
    const auto number = [&]() -> std::optional<std::size_t> {
        std::size_t value = 0;
        while (at < end && rbsp[at] == 0xFF) {
            value += 255;
            ++at;
        }
        if (at >= end) {
            return std::nullopt;
        }
        return value + rbsp[at++];
    };
    // Each message: its type and size, then its payload. The RBSP ends with the stop bit's byte
    // (0x80), which begins no message.
    while (end - at > 1 || (end - at == 1 && rbsp[at] != 0x80)) {
        const std::optional<std::size_t> type = number();
        const std::optional<std::size_t> length = type ? number() : std::nullopt;
        if (!length) {
            return std::nullopt;
        }
        const std::size_t payload = *length;
        if (payload > end - at) {
            return std::nullopt; // runs past its NAL unit
        }
        if (*type == kSeiUserDataUnregistered) {
            if (std::optional<mdpmDate> found = mdpmFromUserData(rbsp.data() + at, payload)) {
                return found;
            }
        }
        at += payload;
    }
    return std::nullopt;
}

// The position of the next 00 00 01 at or after `from`, or size.
std::size_t nextStartCode(const unsigned char *data, std::size_t size, std::size_t from) {
    for (std::size_t i = from; i + 3 <= size; ++i) {
        if (data[i + 2] > 1) {
            i += 2; // no start code can begin at i, i + 1 or i + 2
            continue;
        }
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            return i;
        }
    }
    return size;
}

// The packets of a transport stream: 188 bytes, or 192 with a 4-byte time stamp in front.
struct tsLayout {
    std::size_t stride = 0;
    std::size_t offset = 0;
};

std::optional<tsLayout> transportLayout(const unsigned char *data, std::size_t size) {
    for (const tsLayout layout : {tsLayout{kTsPacket, 0}, tsLayout{kTsPacket + 4, 4}}) {
        const std::size_t packets = size / layout.stride;
        if (packets == 0) {
            continue;
        }
        // The sync byte where the first few packets begin.
        const std::size_t checked = std::min<std::size_t>(packets, 4);
        bool synced = true;
        for (std::size_t k = 0; k < checked && synced; ++k) {
            synced = data[k * layout.stride + layout.offset] == 0x47;
        }
        if (synced) {
            return layout;
        }
    }
    return std::nullopt;
}

// The bytes of a PSI section that begins in a packet's payload [at, end): the start of its
// table_id and the end of the section without its CRC, within the packet.
struct sectionSpan {
    std::size_t start = 0;
    std::size_t end = 0;
};

std::optional<sectionSpan> sectionIn(const unsigned char *packet, std::size_t at,
                                     unsigned tableId) {
    const std::size_t start = at + 1 + packet[at]; // after the pointer field
    if (start + 3 > kTsPacket || packet[start] != tableId) {
        return std::nullopt;
    }
    const std::size_t length = (packet[start + 1] & 0x0Fu) << 8 | packet[start + 2];
    if (length < 4) {
        return std::nullopt;
    }
    // A section running past its packet is read as far as the packet goes.
    return sectionSpan{start, std::min(start + 3 + length - 4, kTsPacket)};
}

} // namespace

std::optional<std::int32_t> mdpmZoneOffsetSeconds(std::uint8_t zone) {
    if ((zone & 0x80) != 0) {
        return std::nullopt;
    }
    const int hours = (zone >> 1) & 0x0F;
    if (hours > 14) {
        return std::nullopt;
    }
    std::int32_t offset = hours * kHour + ((zone & 0x01) != 0 ? kHour / 2 : 0);
    if ((zone & 0x20) != 0) {
        offset = -offset;
    }
    // The hours are the zone's standard time; a camera's summer-time setting moves its clock one
    // hour ahead of it, as clocks do in daylight saving time, so the clock's offset is one hour
    // more (Central European Summer Time is the +01:00 zone with the bit set: +02:00).
    if ((zone & 0x40) != 0) {
        offset += kHour;
    }
    if (offset > 14 * kHour || offset < -12 * kHour) {
        return std::nullopt;
    }
    return offset;
}

std::optional<mdpmDate> mdpmFromAnnexB(const unsigned char *data, std::size_t size) {
    if (data == nullptr) {
        return std::nullopt;
    }
    std::size_t start = nextStartCode(data, size, 0);
    while (start < size) {
        const std::size_t nal = start + 3;
        const std::size_t next = nextStartCode(data, size, nal);
        // Zero bytes before the next start code (a four-byte start code's first byte, trailing
        // zeros) belong to no NAL unit.
        std::size_t end = next;
        while (end > nal && data[end - 1] == 0) {
            --end;
        }
        if (end > nal && (data[nal] & 0x1F) == kNalSei) {
            if (std::optional<mdpmDate> found = mdpmFromSeiNal(data + nal + 1, end - nal - 1)) {
                return found;
            }
        }
        start = next;
    }
    return std::nullopt;
}

std::optional<mdpmDate> mdpmFromTransportStream(const unsigned char *data, std::size_t size) {
    if (data == nullptr) {
        return std::nullopt;
    }
    const std::optional<tsLayout> layout = transportLayout(data, size);
    if (!layout) {
        return std::nullopt;
    }
    int pmtPid = -1;
    int videoPid = -1;
    int pesPackets = 0;
    std::vector<unsigned char> es;
    for (std::size_t at = layout->offset; at + kTsPacket <= size; at += layout->stride) {
        const unsigned char *packet = data + at;
        if (packet[0] != 0x47 || (packet[1] & 0x80) != 0) {
            continue; // lost sync or a transport error: nothing to trust in it
        }
        const bool unitStart = (packet[1] & 0x40) != 0;
        const int pid = (packet[1] & 0x1F) << 8 | packet[2];
        const int control = packet[3] >> 4 & 0x03;
        std::size_t payload = 4;
        if ((control & 0x02) != 0) {
            payload += 1 + packet[4];
        }
        if ((control & 0x01) == 0 || payload >= kTsPacket) {
            continue;
        }
        if (pid == 0 && unitStart && pmtPid < 0) {
            // PAT: the first program's PMT.
            if (const std::optional<sectionSpan> pat = sectionIn(packet, payload, 0x00)) {
                for (std::size_t i = pat->start + 8; i + 4 <= pat->end; i += 4) {
                    const int program = packet[i] << 8 | packet[i + 1];
                    if (program != 0) {
                        pmtPid = (packet[i + 2] & 0x1F) << 8 | packet[i + 3];
                        break;
                    }
                }
            }
        } else if (pid == pmtPid && unitStart && videoPid < 0) {
            // PMT: its first H.264 stream.
            if (const std::optional<sectionSpan> pmt = sectionIn(packet, payload, 0x02)) {
                if (pmt->start + 12 > pmt->end) {
                    continue;
                }
                const std::size_t info =
                    (packet[pmt->start + 10] & 0x0Fu) << 8 | packet[pmt->start + 11];
                for (std::size_t i = pmt->start + 12 + info; i + 5 <= pmt->end;) {
                    if (packet[i] == kStreamTypeH264) {
                        videoPid = (packet[i + 1] & 0x1F) << 8 | packet[i + 2];
                        break;
                    }
                    i += 5 + ((packet[i + 3] & 0x0Fu) << 8 | packet[i + 4]);
                }
            }
        } else if (pid == videoPid && videoPid >= 0) {
            if (unitStart) {
                if (pesPackets == kMaxPesPackets) {
                    break;
                }
                // The PES header: start code, stream id, length, flags, its own length.
                if (payload + 9 > kTsPacket || packet[payload] != 0 || packet[payload + 1] != 0 ||
                    packet[payload + 2] != 1) {
                    continue;
                }
                payload += 9 + packet[payload + 8];
                ++pesPackets;
                if (payload >= kTsPacket) {
                    continue;
                }
            } else if (pesPackets == 0) {
                continue; // the rest of a PES packet begun before the file
            }
            const std::size_t count = std::min(kTsPacket - payload, kMaxEsBytes - es.size());
            es.insert(es.end(), packet + payload, packet + payload + count);
            if (es.size() >= kMaxEsBytes) {
                break;
            }
        }
    }
    return mdpmFromAnnexB(es.data(), es.size());
}

std::optional<mdpmDate> mdpmOfFile(const std::string &path) {
    // Non-blocking, so that a named pipe in a source's place does not hold the conversion up;
    // only a regular file is read. No access time is written on the card where the system lets
    // this process say so (a card being imported is never changed).
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    // A camcorder's first video packets follow the tables within a few kilobytes: the first
    // 64 KB are read, and the rest up to kMdpmReadBytes only when they hold no message.
    std::vector<unsigned char> bytes(kMdpmReadBytes);
    std::size_t filled = 0;
    std::optional<mdpmDate> found;
    for (const std::size_t want : {kMdpmFirstReadBytes, kMdpmReadBytes}) {
        bool ended = false;
        while (filled < want) {
            const ssize_t got = ::read(fd, bytes.data() + filled, want - filled);
            if (got <= 0) {
                ended = true;
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        found = mdpmFromTransportStream(bytes.data(), filled);
        if (found || ended) {
            break;
        }
    }
    ::close(fd);
    return found;
}
