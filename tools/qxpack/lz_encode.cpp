#include "lz_encode.h"

#include <cstring>

constexpr unsigned MIN_MATCH = 3; // two-byte references save nothing over literals
constexpr unsigned MAX_MATCH = 17;
constexpr unsigned MAX_DISTANCE = 4095;
constexpr unsigned HASH_BITS = 14;
constexpr unsigned MAX_CHAIN = 128;

// Greedy LZ77 with hash chains over the last 4,096 bytes.
struct LzEncoder {
    const uint8_t* data;
    size_t size;
    std::vector<int32_t> head; // newest position of each 3-byte hash
    std::vector<int32_t> prev; // previous position with the same hash, per window slot
    Buffer out;
    size_t flag_pos;
    unsigned flag_bit;
};

static unsigned hash3(const uint8_t* p) {
    return ((unsigned(p[0]) << 16 | unsigned(p[1]) << 8 | p[2]) * 2654435761u) >> (32 - HASH_BITS);
}

static void insert_position(LzEncoder& e, size_t pos) {
    if (pos + MIN_MATCH > e.size) return;
    const unsigned h = hash3(e.data + pos);
    e.prev[pos & MAX_DISTANCE] = e.head[h];
    e.head[h] = int32_t(pos);
}

static void begin_item(LzEncoder& e, bool reference) {
    if (e.flag_bit == 0) {
        e.flag_pos = e.out.size();
        e.out.push_back(0);
        e.flag_bit = 0x80;
    }
    if (reference) e.out[e.flag_pos] |= uint8_t(e.flag_bit);
    e.flag_bit >>= 1;
}

// Longest match for pos within the window: length (0 if none) and distance.
static unsigned find_match(const LzEncoder& e, size_t pos, unsigned* distance) {
    if (pos + MIN_MATCH > e.size) return 0;
    const size_t limit = std::min<size_t>(MAX_MATCH, e.size - pos);
    unsigned best = 0;
    int32_t candidate = e.head[hash3(e.data + pos)];
    for (unsigned chain = 0; candidate >= 0 && chain < MAX_CHAIN; chain++) {
        const size_t d = pos - size_t(candidate);
        if (d == 0 || d > MAX_DISTANCE) break;
        unsigned n = 0;
        while (n < limit && e.data[candidate + n] == e.data[pos + n]) n++;
        if (n > best) {
            best = n;
            *distance = unsigned(d);
            if (n == limit) break;
        }
        const int32_t next = e.prev[size_t(candidate) & MAX_DISTANCE];
        if (next >= candidate) break; // the slot was reused by a newer position
        candidate = next;
    }
    return best >= MIN_MATCH ? best : 0;
}

Buffer lz_pack_block(const uint8_t* data, size_t size) {
    LzEncoder e{data,
                size,
                std::vector<int32_t>(1u << HASH_BITS, -1),
                std::vector<int32_t>(MAX_DISTANCE + 1, -1),
                {},
                0,
                0};
    e.out.reserve(PACKED_HEADER_SIZE + size + size / 8 + 16);
    e.out.insert(e.out.end(), {'Q', 'X', 'P', 'D'});
    for (int i = 0; i < 4; i++) e.out.push_back(uint8_t(size >> (8 * i)));
    e.out.insert(e.out.end(), {0, 0, uint8_t(PACKED_METHOD_LZ), 0});
    e.out.insert(e.out.end(), {'v', 'o', 'r', 'n', 'l', 'z', '0', '1'});

    size_t pos = 0;
    while (pos < size) {
        unsigned distance = 0;
        const unsigned length = find_match(e, pos, &distance);
        if (length) {
            begin_item(e, true);
            e.out.push_back(uint8_t((distance >> 8) << 4 | (length - 2)));
            e.out.push_back(uint8_t(distance & 255));
            for (unsigned i = 0; i < length; i++) insert_position(e, pos + i);
            pos += length;
        } else {
            begin_item(e, false);
            e.out.push_back(data[pos]);
            insert_position(e, pos);
            pos++;
        }
    }
    begin_item(e, true);
    e.out.push_back(0);
    return e.out;
}
