#include "platform/rowstore.h"

#include <QtCore/QStringDecoder>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include <sys/mman.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korva::db {

QString textFromUtf8(const char *utf8, qsizetype size)
{
    if (size >= 3 && static_cast<unsigned char>(utf8[0]) == 0xEF && static_cast<unsigned char>(utf8[1]) == 0xBB
        && static_cast<unsigned char>(utf8[2]) == 0xBF) {
        QStringDecoder keepBom(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return keepBom(QByteArrayView(utf8, size));
    }
    return QString::fromUtf8(utf8, size);
}

namespace {

// A cell's tag byte: its kind in the high four bits, a small number in the low four.
enum Kind : unsigned {
    kNull = 0,   // no bytes
    kInt = 1,    // low: bytes of the value, little endian, sign extended (0 for zero)
    kReal = 2,   // 8 bytes
    kText = 3,   // UTF-8; low: length, or 15 and the length as a varint
    kBlob = 4,   // raw bytes, length as for text
    kDate = 5,   // low: form (kDateForms); 7 bytes of packed fields
    kGuid = 6,   // low: 1 braces, 2 lower case; 16 bytes
    kDigits = 7, // low: count of decimal digits (1-15); two to a byte
    kDict = 8,   // low: bytes of the entry's number in the column's dictionary
};

// addNull and addInteger write these tags inline.
static_assert(kNull << 4 == 0 && kInt << 4 == 0x10);

// The date texts kept packed, by length: "2005-06-01 00:00:38.000", without
// the milliseconds, without the time.
constexpr int kDateLengths[] = {23, 19, 10};

// Texts repeated in a column go to its dictionary when they are this long at
// most; a column whose texts are mostly new stops using it.
constexpr qsizetype kDictMaxText = 48;
constexpr std::uint32_t kDictMaxEntries = 65535;

// What the hex digits of a GUID text showed: capitals, small letters, or a byte no hex digit.
constexpr unsigned kUpperHex = 0x10, kLowerHex = 0x20, kNotHex = 0x40;

// Words of a text, read as the little-endian machine it was written for
// would read them (no library call for a few bytes).
inline std::uint64_t load64(const void *p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        w = __builtin_bswap64(w);
    return w;
}

inline std::uint32_t load32(const void *p)
{
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    if constexpr (std::endian::native == std::endian::big)
        w = __builtin_bswap32(w);
    return w;
}

// Bytes p[0..n), n <= 8, as a word, zero above them; nothing past p[n-1] is read.
inline std::uint64_t loadUpTo8(const char *p, std::size_t n)
{
    if (n >= 4)
        return std::uint64_t(load32(p)) | std::uint64_t(load32(p + n - 4)) << (8 * (n - 4));
    if (n == 0)
        return 0;
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint64_t(u[0]) | std::uint64_t(u[n / 2]) << (8 * (n / 2)) | std::uint64_t(u[n - 1]) << (8 * (n - 1));
}

// A copy of a cell's few bytes without a call; longer runs go to memcpy.
inline void copyBytes(unsigned char *to, const void *from, std::size_t n)
{
    const auto *f = static_cast<const unsigned char *>(from);
    if (n > 16) {
        std::memcpy(to, f, n);
    } else if (n >= 8) {
        std::uint64_t a, b;
        std::memcpy(&a, f, 8);
        std::memcpy(&b, f + n - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + n - 8, &b, 8);
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, f, 4);
        std::memcpy(&b, f + n - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + n - 4, &b, 4);
    } else if (n > 0) {
        to[0] = f[0];
        to[n / 2] = f[n / 2];
        to[n - 1] = f[n - 1];
    }
}

inline bool sameBytes(const char *a, const char *b, std::size_t n)
{
    if (n > 16)
        return std::memcmp(a, b, n) == 0;
    if (n >= 8)
        return ((load64(a) ^ load64(b)) | (load64(a + n - 8) ^ load64(b + n - 8))) == 0;
    return loadUpTo8(a, n) == loadUpTo8(b, n);
}

constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;

// Per byte of a word of ASCII bytes: its high bit set when the byte is at least c.
inline std::uint64_t bytesAtLeast(std::uint64_t w, unsigned c) { return ((w | kHighs) - c * kOnes) & kHighs; }

// A word whose byte i (bits 8i to 8i + 7) is to be byte i in memory, as
// memcpy is to write it. A packed cell is written in one store: several
// narrow writes read back at once, as the cell's copy does, wait for them.
inline std::uint64_t inMemoryOrder(std::uint64_t w)
{
    if constexpr (std::endian::native == std::endian::big)
        w = __builtin_bswap64(w);
    return w;
}

// The even bytes of a word, each holding a packed pair, as the low four
// bytes of a word.
inline std::uint64_t evenBytes(std::uint64_t t)
{
    t &= 0x00FF00FF00FF00FFull;
    t = (t | (t >> 8)) & 0x0000FFFF0000FFFFull;
    return (t | (t >> 16)) & 0xFFFFFFFFull;
}

// The same written as four bytes.
inline void writeEvenBytes(std::uint64_t t, unsigned char *out)
{
    auto word = std::uint32_t(evenBytes(t));
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap32(word);
    std::memcpy(out, &word, 4); // byte i of the four: bits 8i to 8i + 7
}

// Eight hex digits packed into four bytes. Gives kUpperHex / kLowerHex for
// the letters seen, kNotHex when a byte is no hex digit.
inline unsigned packHexWord(std::uint64_t w, unsigned char *out)
{
    if (w & kHighs)
        return kNotHex;
    const std::uint64_t digit = bytesAtLeast(w, '0') & ~bytesAtLeast(w, '9' + 1);
    const std::uint64_t upper = bytesAtLeast(w, 'A') & ~bytesAtLeast(w, 'F' + 1);
    const std::uint64_t lower = bytesAtLeast(w, 'a') & ~bytesAtLeast(w, 'f' + 1);
    if ((digit | upper | lower) != kHighs)
        return kNotHex;
    // A digit's value is its low four bits, a letter's those plus nine; the
    // first of each pair goes to the high half.
    const std::uint64_t v = (w & 0x0F0F0F0F0F0F0F0Full) + ((upper | lower) >> 7) * 9;
    writeEvenBytes((v << 4) | (v >> 8), out);
    return (upper ? kUpperHex : 0u) | (lower ? kLowerHex : 0u);
}

#if defined(__SSE2__)
// The same for a GUID's 32 digits, given as four words of eight, sixteen
// bytes at a time: what the machine has at least, without asking for more.
// The words go to the vector registers as they are, not through memory: a
// wide read of narrow writes just made waits for them.
inline unsigned packHexDigits(const std::uint64_t (&words)[4], unsigned char *out)
{
    auto inRange = [](__m128i x, char from, char to) {
        // Signed comparisons: a byte with its high bit set is below every letter and digit.
        return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(char(from - 1))),
                             _mm_cmplt_epi8(x, _mm_set1_epi8(char(to + 1))));
    };
    int valid = 0xffff, upper = 0, lower = 0;
    auto pack = [&](std::uint64_t first, std::uint64_t second) {
        const __m128i x = _mm_unpacklo_epi64(_mm_cvtsi64_si128(static_cast<long long>(first)),
                                             _mm_cvtsi64_si128(static_cast<long long>(second)));
        const __m128i isUpper = inRange(x, 'A', 'F'), isLower = inRange(x, 'a', 'f');
        const __m128i letter = _mm_or_si128(isUpper, isLower);
        valid &= _mm_movemask_epi8(_mm_or_si128(inRange(x, '0', '9'), letter));
        upper |= _mm_movemask_epi8(isUpper);
        lower |= _mm_movemask_epi8(isLower);
        // A digit's value is its low four bits, a letter's those plus nine;
        // the first of each pair goes to the high half of the pair's low byte.
        const __m128i v = _mm_add_epi8(_mm_and_si128(x, _mm_set1_epi8(0x0f)), _mm_and_si128(letter, _mm_set1_epi8(9)));
        return _mm_or_si128(_mm_and_si128(_mm_slli_epi16(v, 4), _mm_set1_epi16(0x00ff)), _mm_srli_epi16(v, 8));
    };
    const __m128i head = pack(words[0], words[1]), tail = pack(words[2], words[3]);
    if (valid != 0xffff)
        return kNotHex;
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_packus_epi16(head, tail));
    return (upper ? kUpperHex : 0u) | (lower ? kLowerHex : 0u);
}
#else
inline unsigned packHexDigits(const std::uint64_t (&words)[4], unsigned char *out)
{
    unsigned flags = 0;
    for (int w = 0; w < 4; ++w)
        flags |= packHexWord(words[w], out + 4 * w);
    return flags;
}
#endif

// A separator `c` at byte i of a word: the bytes to compare and the mask.
struct Separators
{
    std::uint64_t bytes = 0, mask = 0;
    Separators operator|(Separators o) const { return {bytes | o.bytes, mask | o.mask}; }
};
constexpr Separators sep(int i, char c)
{
    return {std::uint64_t(static_cast<unsigned char>(c)) << (8 * i), std::uint64_t(0xff) << (8 * i)};
}

// Eight bytes of a date: the separators given and decimal digits elsewhere.
// Byte i of `pairs` gets the number the digits at i and i + 1 make
// (10 * d[i] + d[i + 1], a separator counting as 0). False when the bytes differ.
inline bool digitPairs(std::uint64_t w, Separators s, std::uint64_t *pairs)
{
    constexpr std::uint64_t kZeros = 0x3030303030303030ull, kHighNibbles = 0xF0F0F0F0F0F0F0F0ull;
    if ((w & s.mask) != s.bytes)
        return false;
    w = (w & ~s.mask) | (kZeros & s.mask);
    if ((w & kHighNibbles) != kZeros || ((w + 0x0606060606060606ull) & kHighNibbles) != kZeros)
        return false;
    const std::uint64_t d = w - kZeros; // each byte 0-9: no carry below
    *pairs = d * 10 + (d >> 8);
    return true;
}

// A text of 1 to 15 decimal digits, two to a byte, the first in the low
// half, as the bytes of a word (byte i at bits 8i). False when any byte is
// no digit.
inline bool packDigits(const char *p, std::size_t size, std::uint64_t *packed)
{
    // Up to eight bytes a word, the rest filled with '0', which packs to nothing.
    constexpr std::uint64_t kZeros = 0x3030303030303030ull;
    auto word = [p, size](std::size_t from) {
        const std::size_t n = std::min<std::size_t>(8, size - from);
        const std::uint64_t fill = n == 8 ? 0 : kZeros << (8 * n);
        return loadUpTo8(p + from, n) | fill;
    };
    auto allDigits = [](std::uint64_t w) {
        return (w & 0xF0F0F0F0F0F0F0F0ull) == kZeros && ((w + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) == kZeros;
    };
    const std::uint64_t first = word(0);
    const std::uint64_t second = size > 8 ? word(8) : kZeros;
    if (!allDigits(first) || !allDigits(second))
        return false;
    // Digit values, the first of each pair in the low half.
    auto pack = [](std::uint64_t w) {
        const std::uint64_t d = w - kZeros;
        return evenBytes(d | (d >> 4));
    };
    *packed = pack(first) | pack(second) << 32;
    return true;
}

inline std::uint64_t hashBytes(const char *p, std::size_t n)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
    while (n >= 8) {
        h = (h ^ load64(p)) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
        p += 8;
        n -= 8;
    }
    if (n) {
        h = (h ^ loadUpTo8(p, n)) * 0xff51afd7ed558ccdull;
        h ^= h >> 32;
    }
    // The table takes the low bits: every byte must reach them. Without this
    // the last bytes of texts that differ only there (times, numbered names)
    // hardly did, and a lookup walked dozens of slots.
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 33;
    return h;
}

// The same for a dictionary's texts, which are mostly short: up to 16 bytes
// in one wide product of the first and last eight. The product's high half
// depends on every bit of both, so its low bits, folded with the high half,
// do too, down to a last byte that differs.
inline std::uint64_t hashText(const char *p, std::size_t n)
{
    if (n > 16)
        return hashBytes(p, n);
    const std::uint64_t first = loadUpTo8(p, std::min<std::size_t>(n, 8)) ^ n ^ 0xa0761d6478bd642full;
    const std::uint64_t last = (n > 8 ? load64(p + n - 8) : 0) ^ 0xe7037ed1a0b428dbull;
    const unsigned __int128 product = static_cast<unsigned __int128>(first) * last;
    return std::uint64_t(product) ^ std::uint64_t(product >> 64);
}

// Where a GUID text's 32 hex digits are, without its braces.
constexpr int kGuidDigitAt[32] = {0,  1,  2,  3,  4,  5,  6,  7,  9,  10, 11, 12, 14, 15, 16, 17,
                                  19, 20, 21, 22, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35};

// The cell after this one.
inline const unsigned char *skipCell(const unsigned char *p)
{
    const unsigned kind = p[0] >> 4, low = p[0] & 15u;
    ++p;
    switch (kind) {
    case kNull:
        return p;
    case kInt:
    case kDict:
        return p + low;
    case kReal:
        return p + 8;
    case kText:
    case kBlob: {
        if (low < 15)
            return p + low;
        std::uint64_t size = 0;
        for (int shift = 0;; shift += 7) {
            const unsigned char b = *p++;
            size |= std::uint64_t(b & 0x7f) << shift;
            if (!(b & 0x80))
                break;
        }
        return p + size;
    }
    case kDate:
        return p + 7;
    case kGuid:
        return p + 16;
    case kDigits:
        return p + (low + 1) / 2;
    }
    return p;
}

} // namespace

// A column's repeated texts: entry i is bytes [ends[i-1], ends[i]). While the
// dictionary is written to, a hash table finds an entry by its text.
struct ColumnDictionary
{
    std::vector<char> bytes;
    std::vector<std::uint32_t> ends;
    std::vector<std::uint32_t> slots; // entry + 1, 0 for a free slot
    std::uint32_t lookups = 0;
    bool closed = false;

    std::string_view entry(std::uint32_t i) const
    {
        const std::uint32_t begin = i == 0 ? 0 : ends[i - 1];
        return {bytes.data() + begin, ends[i] - begin};
    }
    // The entry holding the text, added if new; -1 when the text is not to be kept here.
    std::int64_t find(const char *text, std::size_t size) { return closed ? -1 : lookUp(text, size); }
    std::int64_t lookUp(const char *text, std::size_t size)
    {
        ++lookups;
        if (slots.empty())
            slots.assign(256, 0);
        std::size_t mask = slots.size() - 1;
        std::size_t at = hashText(text, size) & mask;
        for (;; at = (at + 1) & mask) {
            const std::uint32_t slot = slots[at];
            if (slot == 0)
                break;
            const std::string_view e = entry(slot - 1);
            if (e.size() == size && sameBytes(e.data(), text, size))
                return slot - 1;
        }
        // Mostly new texts (names, keys) are better kept in the row.
        const auto count = std::uint32_t(ends.size());
        if (count >= kDictMaxEntries || (lookups >= 256 && count * 2 > lookups)) {
            closed = true;
            slots = {};
            return -1;
        }
        bytes.insert(bytes.end(), text, text + size);
        ends.push_back(std::uint32_t(bytes.size()));
        slots[at] = count + 1;
        if ((count + 1) * 2 > slots.size()) {
            std::vector<std::uint32_t> grown(slots.size() * 2, 0);
            mask = grown.size() - 1;
            for (std::uint32_t i = 0; i <= count; ++i) {
                const std::string_view e = entry(i);
                std::size_t to = hashText(e.data(), e.size()) & mask;
                while (grown[to])
                    to = (to + 1) & mask;
                grown[to] = i + 1;
            }
            slots = std::move(grown);
        }
        return count;
    }
    void seal()
    {
        slots = {};
        bytes.shrink_to_fit();
        ends.shrink_to_fit();
    }
    std::size_t allocated() const
    {
        return bytes.capacity() + (ends.capacity() + slots.capacity()) * sizeof(std::uint32_t);
    }
};

struct RowStore::Dictionary
{
    std::vector<ColumnDictionary> columns;
    bool sealed = false;
};

struct RowStore::Segment
{
    std::uint32_t firstRow = 0;
    std::unique_ptr<Dictionary> dictionary;
};

RowStore::RowStore() = default;
RowStore::~RowStore() = default;
RowStore::RowStore(RowStore &&) noexcept = default;
RowStore &RowStore::operator=(RowStore &&) noexcept = default;

void RowStore::setColumns(const QStringList &names)
{
    clear();
    m_columns = names;
}

void RowStore::clear()
{
    m_chunks.clear();
    m_chunkSizes.clear();
    m_last = {};
    m_chunkFirstRow.clear();
    m_chunkUsed = 0;
    m_segments.clear();
    m_rowStart.clear();
    m_rowEnd = 0;
    m_building = nullptr;
    m_pendingCells = 0;
    m_inRow = false;
    m_contentBytes = 0;
    m_overrides.clear();
    m_rowsRead = 0;
    m_sourceRows.clear();
}

inline unsigned char *RowStore::room(qsizetype size)
{
    if (m_rowEnd + size > m_last.size)
        return roomInNewChunk(size);
    unsigned char *at = m_last.bytes + m_rowEnd;
    m_rowEnd += size;
    return at;
}

inline void RowStore::putTag(unsigned tag, const void *data, qsizetype size)
{
    // Cells past the columns are left out.
    if (m_pendingCells++ >= columnCount())
        return;
    if (m_pendingTooLarge || m_rowEnd - m_chunkUsed + 1 + size > maxRowBytes()) {
        m_pendingTooLarge = true;
        return;
    }
    unsigned char *at = room(1 + size);
    at[0] = static_cast<unsigned char>(tag);
    if (size > 0)
        copyBytes(at + 1, data, std::size_t(size));
}

// For the cells written inline elsewhere, when they are not simple.
void RowStore::addTag(unsigned tag, const void *data, qsizetype size) { putTag(tag, data, size); }

void RowStore::addReal(double value) { putTag(kReal << 4, &value, sizeof value); }

bool RowStore::addCompactText(const char *p, qsizetype size)
{
    // Most short texts that are no number show it at their first byte.
    if (size >= 1 && size <= 15 && unsigned(static_cast<unsigned char>(p[0]) - '0') <= 9) {
        std::uint64_t packed;
        if (packDigits(p, std::size_t(size), &packed)) {
            packed = inMemoryOrder(packed);
            putTag(kDigits << 4 | unsigned(size), &packed, (size + 1) / 2);
            return true;
        }
    }
    if (size == kDateLengths[0] || size == kDateLengths[1] || size == kDateLengths[2]) {
        const unsigned form = size == kDateLengths[0] ? 0u : size == kDateLengths[1] ? 1u : 2u;
        // Eight bytes at a time: separators at their places, digits elsewhere.
        std::uint64_t head, middle, tail = 0;
        if (!digitPairs(load64(p), sep(4, '-') | sep(7, '-'), &head))
            return false;
        if (form == 2) {
            if (!digitPairs(load64(p + 2), sep(2, '-') | sep(5, '-'), &middle))
                return false;
            middle >>= 48; // the day, where the full forms have it
        } else if (!digitPairs(load64(p + 8), sep(2, ' ') | sep(5, ':'), &middle)) {
            return false;
        }
        if (form == 1 && !digitPairs(load64(p + 11), sep(2, ':') | sep(5, ':'), &tail))
            return false;
        if (form == 0 && !digitPairs(load64(p + 15), sep(1, ':') | sep(4, '.'), &tail))
            return false;
        auto at = [](std::uint64_t pairs, int i) { return (pairs >> (8 * i)) & 0xff; };
        const std::uint64_t year = at(head, 0) * 100 + at(head, 2), month = at(head, 5), day = at(middle, 0);
        const std::uint64_t hour = form < 2 ? at(middle, 3) : 0, minute = form < 2 ? at(middle, 6) : 0;
        const std::uint64_t second = form == 1 ? at(tail, 6) : form == 0 ? at(tail, 2) : 0;
        const std::uint64_t milli = form == 0 ? at(tail, 5) * 10 + at(tail, 7) / 10 : 0;
        // Each field must fit its bits.
        if (month > 15 || day > 31 || hour > 31 || minute > 63 || second > 63)
            return false;
        const std::uint64_t packed = year | month << 14 | day << 18 | hour << 23 | minute << 28 | second << 34
                                     | milli << 40;
        const std::uint64_t bytes = inMemoryOrder(packed);
        putTag(kDate << 4 | form, &bytes, 7);
        return true;
    }
    if (size == 36 || size == 38) {
        const bool braces = size == 38;
        if (braces && (p[0] != '{' || p[37] != '}'))
            return false;
        const char *g = p + (braces ? 1 : 0);
        if (g[8] != '-' || g[13] != '-' || g[18] != '-' || g[23] != '-')
            return false;
        // The 32 digits as four words of eight: 8, 4+4, 4+4, 8.
        const std::uint64_t words[4] = {load64(g), load32(g + 9) | std::uint64_t(load32(g + 14)) << 32,
                                        load32(g + 19) | std::uint64_t(load32(g + 24)) << 32, load64(g + 28)};
        unsigned char bytes[16];
        const unsigned flags = packHexDigits(words, bytes);
        if (flags & kNotHex)
            return false;
        if ((flags & kUpperHex) && (flags & kLowerHex))
            return false; // mixed case would not read back as given
        putTag(kGuid << 4 | (braces ? 1u : 0u) | ((flags & kLowerHex) ? 2u : 0u), bytes, 16);
        return true;
    }
    if (size >= 2 && size <= kDictMaxText && m_pendingCells < columnCount()) {
        Dictionary *dict = m_building ? m_building : buildingDictionary();
        const std::int64_t entry = dict->columns[std::size_t(m_pendingCells)].find(p, std::size_t(size));
        if (entry >= 0) {
            const unsigned char bytes[2] = {static_cast<unsigned char>(entry), static_cast<unsigned char>(entry >> 8)};
            putTag(kDict << 4 | (entry < 256 ? 1u : 2u), bytes, entry < 256 ? 1 : 2);
            return true;
        }
    }
    return false;
}

void RowStore::addSized(unsigned kind, const char *data, qsizetype size)
{
    if (size < 15) {
        putTag(kind << 4 | unsigned(size), data, size);
        return;
    }
    if (m_pendingCells++ >= columnCount())
        return;
    if (m_pendingTooLarge || m_rowEnd - m_chunkUsed + 11 + size > maxRowBytes()) {
        m_pendingTooLarge = true;
        return;
    }
    unsigned char head[11];
    int n = 0;
    head[n++] = static_cast<unsigned char>(kind << 4 | 15u);
    for (auto v = quint64(size);; v >>= 7) {
        head[n++] = static_cast<unsigned char>((v & 0x7f) | (v >= 0x80 ? 0x80 : 0));
        if (v < 0x80)
            break;
    }
    unsigned char *at = room(n + size);
    copyBytes(at, head, std::size_t(n));
    copyBytes(at + n, data, std::size_t(size));
}

void RowStore::addText(const char *utf8, qsizetype size)
{
    if (!m_compactText || !addCompactText(utf8, size))
        addSized(kText, utf8, size);
}

void RowStore::addText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    addText(utf8.constData(), utf8.size());
}

void RowStore::addBlob(const void *data, qsizetype size)
{
    addSized(kBlob, static_cast<const char *>(data), size);
}

void RowStore::addVariant(const QVariant &value)
{
    if (value.isNull() || !value.isValid()) {
        addNull();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        addInteger(value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        addReal(value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = value.toByteArray();
        addBlob(b.constData(), b.size());
        break;
    }
    default:
        addText(value.toString());
    }
}


namespace {

// Memory that stores let go, kept for the next stores (up to a limit):
// memory new from the system costs far more the first time it is written
// than memory used before; in a virtual machine, about as much as reading
// the rows into it. A result that replaces another thus reuses its memory.
// Shared by all threads (a result may be let go on another); never
// destroyed, since stores may be let go while the program ends.
template<class Item, std::size_t kKept>
class KeptForReuse
{
public:
    static KeptForReuse &instance()
    {
        static auto *kept = new KeptForReuse;
        return *kept;
    }
    bool take(Item *item)
    {
        std::lock_guard lock(m_mutex);
        if (m_items.empty())
            return false;
        *item = std::move(m_items.back());
        m_items.pop_back();
        return true;
    }
    // False when enough are kept: the caller frees it.
    bool give(Item &&item)
    {
        std::lock_guard lock(m_mutex);
        if (m_items.size() >= kKept)
            return false;
        m_items.push_back(std::move(item));
        return true;
    }

private:
    std::mutex m_mutex;
    std::vector<Item> m_items;
};

// Chunks of the size batches are read into: 64 MB.
using ChunkPool = KeptForReuse<char *, 32>;
// Blocks of row index: 8 MB, the index of two million rows.
using IndexBlockPool = KeptForReuse<std::vector<std::uint32_t>, 64>;

} // namespace

void RowStore::FreeChunk::operator()(char *p) const
{
    if (!reusable || !ChunkPool::instance().give(std::move(p)))
        std::free(p);
}

std::vector<std::uint32_t> takeIndexBlock(std::size_t entries)
{
    std::vector<std::uint32_t> block;
    if (!IndexBlockPool::instance().take(&block))
        block.reserve(entries);
    block.clear();
    return block;
}

void giveIndexBlock(std::vector<std::uint32_t> &&block, std::size_t entries)
{
    if (block.capacity() == entries)
        IndexBlockPool::instance().give(std::move(block));
}

unsigned char *RowStore::roomInNewChunk(qsizetype size)
{
    // Chunks start small and double, so a small result costs little; the
    // bytes are not cleared since every one is written before it is read.
    const qsizetype partial = m_chunks.empty() ? 0 : m_rowEnd - m_chunkUsed;
    const qsizetype grown = m_chunkSizes.empty() ? m_firstChunk : std::min(kChunkSize, m_chunkSizes.back() * 2);
    qsizetype chunk = std::max(grown, (partial + size) * 2);
    // Full-size chunks are asked for in huge pages: a million rows then
    // cost a few dozen page faults instead of thousands.
    constexpr qsizetype kHuge = 2 * 1024 * 1024;
    if (chunk >= kHuge)
        chunk = (chunk + kHuge - 1) / kHuge * kHuge;
    // A chunk of the size batches are read into may be one that another store let go.
    const bool reusable = chunk == kReusedChunk;
    char *bytes = nullptr;
    if (reusable)
        ChunkPool::instance().take(&bytes);
    if (!bytes && chunk >= kHuge) {
        bytes = static_cast<char *>(std::aligned_alloc(std::size_t(kHuge), std::size_t(chunk)));
#ifdef MADV_HUGEPAGE
        // Not a batch's: clearing a new huge page for each of a load's
        // batches kept the window's thread from memory of its own for up to
        // 26 ms (measured in a virtual machine), and a reused chunk costs no
        // page faults anyway.
        if (bytes && !reusable)
            ::madvise(bytes, std::size_t(chunk), MADV_HUGEPAGE);
#endif
    } else if (!bytes) {
        bytes = static_cast<char *>(std::malloc(std::size_t(chunk)));
    }
    if (!bytes)
        throw std::bad_alloc();
    // The row built so far moves along; the old chunk ends with the last complete row.
    if (partial > 0)
        std::memcpy(bytes, m_chunks.back().get() + m_chunkUsed, std::size_t(partial));
    m_chunks.emplace_back(bytes, FreeChunk{reusable});
    m_chunkSizes.push_back(chunk);
    m_chunkFirstRow.push_back(std::uint32_t(rowCount()));
    m_last = {reinterpret_cast<unsigned char *>(bytes), chunk};
    m_chunkUsed = 0;
    m_rowEnd = partial;
    unsigned char *at = m_last.bytes + m_rowEnd;
    m_rowEnd += size;
    return at;
}

RowStore::Dictionary *RowStore::buildingDictionary()
{
    if (m_segments.empty() || m_segments.back().dictionary->sealed) {
        Segment s;
        s.firstRow = std::uint32_t(rowCount());
        s.dictionary = std::make_unique<Dictionary>();
        s.dictionary->columns.resize(std::size_t(columnCount()));
        m_segments.push_back(std::move(s));
    }
    m_building = m_segments.back().dictionary.get();
    return m_building;
}

bool RowStore::endRowSlowly()
{
    m_inRow = false;
    if (m_pendingTooLarge) {
        m_rowEnd = m_chunkUsed;
        m_pendingCells = 0;
        m_pendingTooLarge = false;
        return false;
    }
    // Short rows are padded with nulls (long ones were cut), so every row has columnCount cells.
    while (m_pendingCells < columnCount())
        addNull();
    if (m_chunks.empty())
        roomInNewChunk(0); // a row without columns still has its place
    const qsizetype start = m_chunkUsed;
    m_rowStart.push_back(std::uint32_t(start));
    m_contentBytes += m_rowEnd - start;
    m_chunkUsed = m_rowEnd;
    const qsizetype read = m_rowsRead++;
    if (m_filter) {
        if (firstMatchInRow(rowCount() - 1, 0, columnCount() - 1, *m_filter) < 0) {
            // Not kept: the next row is written over it. A chunk this row
            // opened stays, and starts with that next row.
            m_rowStart.pop_back();
            m_contentBytes -= m_rowEnd - start;
            m_chunkUsed = m_rowEnd = start;
            return true;
        }
    }
    // While every row read is kept, a row's place is its number.
    if (!m_sourceRows.empty() || read != rowCount() - 1) {
        if (m_sourceRows.empty())
            for (qsizetype r = 0; r + 1 < rowCount(); ++r)
                m_sourceRows.push_back(std::uint32_t(r));
        m_sourceRows.push_back(std::uint32_t(read));
    }
    return true;
}

void RowStore::appendRow(const QVariantList &values)
{
    beginRow();
    for (const QVariant &v : values)
        addVariant(v);
    endRow();
}

void RowStore::append(RowStore &&other)
{
    if (&other == this)
        return;
    if (other.rowCount() == 0) {
        m_rowsRead += std::exchange(other.m_rowsRead, 0); // a batch whose rows were all left out
        return;
    }
    if (m_columns.isEmpty() && rowCount() == 0)
        m_columns = other.m_columns;
    const auto firstRow = std::uint32_t(rowCount());
    for (std::size_t i = 0; i < other.m_chunks.size(); ++i) {
        m_chunks.push_back(std::move(other.m_chunks[i]));
        m_chunkSizes.push_back(other.m_chunkSizes[i]);
        m_chunkFirstRow.push_back(firstRow + other.m_chunkFirstRow[i]);
    }
    // Rows appended later continue in the last chunk taken over, and with
    // a dictionary of their own.
    m_chunkUsed = other.m_chunkUsed;
    m_rowEnd = m_chunkUsed;
    m_last = std::move(other.m_last);
    m_building = nullptr;
    for (Segment &s : m_segments)
        s.dictionary->sealed = true;
    for (Segment &s : other.m_segments) {
        s.dictionary->sealed = true;
        for (ColumnDictionary &c : s.dictionary->columns)
            c.seal();
        m_segments.push_back({firstRow + s.firstRow, std::move(s.dictionary)});
    }
    // Rows left out of either side keep the kept ones' places in the whole.
    if (!m_sourceRows.empty() || m_rowsRead != qsizetype(firstRow) || other.m_rowsRead != other.rowCount()) {
        if (m_sourceRows.empty())
            for (qsizetype r = 0; r < qsizetype(firstRow); ++r)
                m_sourceRows.push_back(std::uint32_t(r));
        for (qsizetype r = 0; r < other.rowCount(); ++r)
            m_sourceRows.push_back(std::uint32_t(m_rowsRead + other.sourceRow(r)));
    }
    m_rowsRead += other.m_rowsRead;
    // The index grows by the batch alone: what is there stays where it is.
    m_rowStart.append(other.m_rowStart);
    m_contentBytes += other.m_contentBytes;
    const QStringList columns = other.m_columns;
    other.clear();
    other.m_columns = columns;
}

void RowStore::shrinkToFit()
{
    // A last chunk that is nearly full stays as it is: copying it would cost
    // more than the little it gives back. So does a reused one a quarter
    // full: a copy that large would be memory new from the system.
    const qsizetype size = m_chunks.empty() ? 0 : m_chunkSizes.back();
    const qsizetype keepFrom = m_chunks.empty() || !m_chunks.back().get_deleter().reusable ? size - size / 8 : size / 4;
    if (!m_chunks.empty() && m_chunkUsed < keepFrom) {
        const qsizetype used = std::max<qsizetype>(m_chunkUsed, 1);
        auto *exact = static_cast<char *>(std::malloc(std::size_t(used)));
        if (exact) {
            std::memcpy(exact, m_chunks.back().get(), std::size_t(m_chunkUsed));
            m_chunks.back() = ChunkPointer(exact, FreeChunk{});
            m_chunkSizes.back() = used;
            m_last = {reinterpret_cast<unsigned char *>(exact), used};
        }
    }
    m_building = nullptr;
    for (Segment &s : m_segments) {
        s.dictionary->sealed = true;
        for (ColumnDictionary &c : s.dictionary->columns)
            c.seal();
    }
    m_rowStart.shrink_to_fit();
    m_chunkFirstRow.shrink_to_fit();
}

std::size_t RowStore::chunkOf(qsizetype row) const
{
    const auto after = std::upper_bound(m_chunkFirstRow.begin(), m_chunkFirstRow.end(), std::uint32_t(row));
    return std::size_t(after - m_chunkFirstRow.begin()) - 1;
}

std::size_t RowStore::segmentOf(qsizetype row) const
{
    const auto after = std::upper_bound(m_segments.begin(), m_segments.end(), std::uint32_t(row),
                                        [](std::uint32_t r, const Segment &s) { return r < s.firstRow; });
    return std::size_t(after - m_segments.begin()) - 1;
}

const RowStore::Dictionary *RowStore::dictionaryOf(std::size_t segment) const
{
    return segment < m_segments.size() ? m_segments[segment].dictionary.get() : nullptr;
}

const unsigned char *RowStore::rowData(qsizetype row, std::size_t chunk) const
{
    return reinterpret_cast<const unsigned char *>(m_chunks[chunk].get()) + m_rowStart[std::size_t(row)];
}

namespace {

// Decimal digits of a value, right-aligned before `end`; answers the first.
char *writeDecimal(char *end, qint64 value)
{
    char *p = end;
    // The magnitude as unsigned so the lowest value works too.
    quint64 v = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    do {
        *--p = char('0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (value < 0)
        *--p = '-';
    return p;
}

inline void writeTwo(char *at, unsigned v)
{
    at[0] = char('0' + v / 10 % 10);
    at[1] = char('0' + v % 10);
}

} // namespace

void RowStore::decode(const unsigned char *p, const Dictionary *dict, int column, CellBuffer *buffer, CellRef *ref,
                      bool integerText) const
{
    const unsigned kind = p[0] >> 4, low = p[0] & 15u;
    ++p;
    ref->replaced = false;
    ref->stable = true;
    ref->integer = 0;
    switch (kind) {
    case kNull:
        ref->type = CellType::Null;
        ref->bytes = {};
        return;
    case kInt: {
        quint64 v = 0;
        for (unsigned i = 0; i < low; ++i)
            v |= quint64(p[i]) << (8 * i);
        const int shift = 64 - 8 * int(low);
        const qint64 value = low == 0 ? 0 : qint64(v << shift) >> shift;
        ref->type = CellType::Integer;
        ref->integer = value;
        ref->stable = false;
        if (!integerText) {
            ref->bytes = {};
            return;
        }
        char *end = buffer->data + sizeof buffer->data;
        char *first = writeDecimal(end, value);
        ref->type = CellType::Integer;
        ref->integer = value;
        ref->bytes = {first, std::size_t(end - first)};
        ref->stable = false;
        return;
    }
    case kReal: {
        double v;
        std::memcpy(&v, p, sizeof v);
        const QByteArray text = QByteArray::number(v, 'g', 15);
        const auto n = std::min<std::size_t>(std::size_t(text.size()), sizeof buffer->data);
        std::memcpy(buffer->data, text.constData(), n);
        ref->type = CellType::Real;
        ref->bytes = {buffer->data, n};
        ref->stable = false;
        return;
    }
    case kText:
    case kBlob: {
        std::uint64_t size = low;
        if (low == 15) {
            size = 0;
            for (int shift = 0;; shift += 7) {
                const unsigned char b = *p++;
                size |= std::uint64_t(b & 0x7f) << shift;
                if (!(b & 0x80))
                    break;
            }
        }
        ref->type = kind == kText ? CellType::Text : CellType::Blob;
        ref->bytes = {reinterpret_cast<const char *>(p), std::size_t(size)};
        return;
    }
    case kDate: {
        std::uint64_t v = 0;
        for (int i = 0; i < 7; ++i)
            v |= std::uint64_t(p[i]) << (8 * i);
        char *d = buffer->data;
        const unsigned year = unsigned(v & 0x3fff);
        writeTwo(d, year / 100);
        writeTwo(d + 2, year % 100);
        d[4] = '-';
        writeTwo(d + 5, unsigned(v >> 14 & 0xf));
        d[7] = '-';
        writeTwo(d + 8, unsigned(v >> 18 & 0x1f));
        d[10] = ' ';
        writeTwo(d + 11, unsigned(v >> 23 & 0x1f));
        d[13] = ':';
        writeTwo(d + 14, unsigned(v >> 28 & 0x3f));
        d[16] = ':';
        writeTwo(d + 17, unsigned(v >> 34 & 0x3f));
        d[19] = '.';
        const unsigned milli = unsigned(v >> 40 & 0x3ff);
        d[20] = char('0' + milli / 100);
        writeTwo(d + 21, milli % 100);
        ref->type = CellType::Text;
        ref->bytes = {d, std::size_t(kDateLengths[std::min(low, 2u)])};
        ref->stable = false;
        return;
    }
    case kGuid: {
        const bool braces = low & 1u;
        const char *digits = (low & 2u) ? "0123456789abcdef" : "0123456789ABCDEF";
        char *d = buffer->data;
        char *g = d + (braces ? 1 : 0);
        g[8] = g[13] = g[18] = g[23] = '-';
        for (int i = 0; i < 16; ++i) {
            g[kGuidDigitAt[2 * i]] = digits[p[i] >> 4];
            g[kGuidDigitAt[2 * i + 1]] = digits[p[i] & 15];
        }
        if (braces) {
            d[0] = '{';
            d[37] = '}';
        }
        ref->type = CellType::Text;
        ref->bytes = {d, braces ? 38u : 36u};
        ref->stable = false;
        return;
    }
    case kDigits: {
        for (unsigned i = 0; i < low; ++i)
            buffer->data[i] = char('0' + ((p[i / 2] >> (i % 2 ? 4 : 0)) & 15));
        ref->type = CellType::Text;
        ref->bytes = {buffer->data, low};
        ref->stable = false;
        return;
    }
    case kDict: {
        const std::uint32_t entry = low == 1 ? p[0] : std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
        ref->type = CellType::Text;
        ref->bytes = dict ? dict->columns[std::size_t(column)].entry(entry) : std::string_view();
        return;
    }
    }
    ref->type = CellType::Null;
    ref->bytes = {};
}

void RowStore::Walk::read(qsizetype row, int column, CellBuffer *buffer, CellRef *ref, bool integerText)
{
    const RowStore &s = m_store;
    while (m_chunk + 1 < s.m_chunkFirstRow.size() && s.m_chunkFirstRow[m_chunk + 1] <= std::uint32_t(row))
        ++m_chunk;
    while (m_segment + 1 < s.m_segments.size() && s.m_segments[m_segment + 1].firstRow <= std::uint32_t(row))
        ++m_segment;
    const unsigned char *p = s.rowData(row, m_chunk);
    for (int c = 0; c < column; ++c)
        p = skipCell(p);
    const bool segmentHolds = m_segment < s.m_segments.size() && s.m_segments[m_segment].firstRow <= std::uint32_t(row);
    s.decode(p, segmentHolds ? s.dictionaryOf(m_segment) : nullptr, column, buffer, ref, integerText);
}

const unsigned char *RowStore::cellAt(qsizetype row, int column) const
{
    const unsigned char *p = rowData(row, chunkOf(row));
    for (int c = 0; c < column; ++c)
        p = skipCell(p);
    return p;
}

void RowStore::cellOf(qsizetype row, int column, CellBuffer *buffer, CellRef *ref) const
{
    const unsigned char *p = cellAt(row, column);
    const Dictionary *dict = nullptr;
    if ((p[0] >> 4) == kDict)
        dict = dictionaryOf(segmentOf(row));
    decode(p, dict, column, buffer, ref);
}

CellType RowStore::type(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return CellType::Null;
    if (!m_overrides.isEmpty()) {
        const auto it = m_overrides.constFind(quint64(row) * quint64(columnCount()) + quint64(column));
        if (it != m_overrides.constEnd()) {
            const QVariant &v = it.value();
            if (v.isNull())
                return CellType::Null;
            if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
                return CellType::Integer;
            if (v.typeId() == QMetaType::Double)
                return CellType::Real;
            if (v.typeId() == QMetaType::QByteArray)
                return CellType::Blob;
            return CellType::Text;
        }
    }
    const unsigned char *p = rowData(row, chunkOf(row));
    for (int c = 0; c < column; ++c)
        p = skipCell(p);
    switch (p[0] >> 4) {
    case kNull:
        return CellType::Null;
    case kInt:
        return CellType::Integer;
    case kReal:
        return CellType::Real;
    case kBlob:
        return CellType::Blob;
    default:
        return CellType::Text;
    }
}

QVariant RowStore::value(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (!m_overrides.isEmpty()) {
        const auto it = m_overrides.constFind(quint64(row) * quint64(columnCount()) + quint64(column));
        if (it != m_overrides.constEnd())
            return it.value();
    }
    CellBuffer buffer;
    CellRef c;
    cellOf(row, column, &buffer, &c);
    switch (c.type) {
    case CellType::Null:
        return QVariant();
    case CellType::Integer:
        return QVariant(c.integer);
    case CellType::Real:
        return QVariant(QByteArray::fromRawData(c.bytes.data(), qsizetype(c.bytes.size())).toDouble());
    case CellType::Blob:
        return QVariant(QByteArray(c.bytes.data(), qsizetype(c.bytes.size())));
    case CellType::Text:
        break;
    }
    return QVariant(textFromUtf8(c.bytes.data(), qsizetype(c.bytes.size())));
}

QString RowStore::text(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    if (!m_overrides.isEmpty()) {
        const auto it = m_overrides.constFind(quint64(row) * quint64(columnCount()) + quint64(column));
        if (it != m_overrides.constEnd()) {
            const QVariant &v = it.value();
            if (v.typeId() == QMetaType::QByteArray)
                return QStringLiteral("0x") + QString::fromLatin1(v.toByteArray().toHex().toUpper());
            return v.toString();
        }
    }
    CellBuffer buffer;
    CellRef c;
    cellOf(row, column, &buffer, &c);
    if (c.type == CellType::Blob)
        return QStringLiteral("0x")
               + QString::fromLatin1(QByteArray::fromRawData(c.bytes.data(), qsizetype(c.bytes.size())).toHex().toUpper());
    if (c.type == CellType::Null)
        return QString(QLatin1String(""));
    if (!c.stable)
        return QString::fromLatin1(c.bytes.data(), qsizetype(c.bytes.size()));
    return textFromUtf8(c.bytes.data(), qsizetype(c.bytes.size()));
}

QByteArray RowStore::bytes(qsizetype row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    CellBuffer buffer;
    CellRef c;
    cellOf(row, column, &buffer, &c);
    return QByteArray(c.bytes.data(), qsizetype(c.bytes.size()));
}

bool RowStore::storedCell(qsizetype row, int column, std::string_view *bytes, CellType *type,
                          CellBuffer *buffer) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return false;
    if (!m_overrides.isEmpty() && m_overrides.contains(quint64(row) * quint64(columnCount()) + quint64(column)))
        return false;
    CellRef c;
    cellOf(row, column, buffer, &c);
    *bytes = c.bytes;
    *type = c.type;
    return true;
}

void RowStore::setValue(qsizetype row, int column, const QVariant &value)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return;
    m_overrides.insert(quint64(row) * quint64(columnCount()) + quint64(column), value);
}

namespace {

// Whether every byte is below 0x80, eight bytes at a time.
bool allAscii(const char *data, std::size_t size)
{
    std::uint64_t seen = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + i, 8);
        seen |= word;
    }
    for (; i < size; ++i)
        seen |= static_cast<unsigned char>(data[i]);
    return (seen & 0x8080808080808080ull) == 0;
}

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

// A number, date, GUID or run of digits is made of its kind's characters
// alone: a needle with any other is not in it, and the cell need not be
// written out to know. True for the other kinds.
bool kindMayHold(unsigned kind, const QByteArray &lowerNeedle)
{
    const char *alphabet = kind == kInt      ? "0123456789-"
                           : kind == kDigits ? "0123456789"
                           : kind == kDate   ? "0123456789-: ."
                           : kind == kGuid   ? "0123456789abcdef-{}"
                                             : nullptr;
    if (!alphabet)
        return true;
    for (const char ch : lowerNeedle)
        if (ch == 0 || !std::strchr(alphabet, ch))
            return false;
    return true;
}

// Whether ASCII bytes equal (or hold) the lower-cased needle, letter case aside.
bool asciiMatches(const char *data, std::size_t size, const QByteArray &lowerNeedle, bool exact)
{
    const auto n = std::size_t(lowerNeedle.size());
    const char *want = lowerNeedle.constData();
    auto equalAt = [&](std::size_t at) {
        for (std::size_t k = 1; k < n; ++k)
            if (lowerAscii(data[at + k]) != want[k])
                return false;
        return true;
    };
    if (exact)
        return size == n && (n == 0 || (lowerAscii(data[0]) == want[0] && equalAt(0)));
    if (n == 0)
        return true;
    if (size < n)
        return false;
    const char first = want[0];
    const std::size_t last = size - n;
    for (std::size_t at = 0; at <= last; ++at)
        if (lowerAscii(data[at]) == first && equalAt(at))
            return true;
    return false;
}

} // namespace

RowFilter::RowFilter(const QString &needle, bool exact)
    : m_needle(needle), m_lowerNeedle(needle.toLower().toUtf8()), m_exact(exact),
      m_kinds(RowStore::kindsThatMayHold(m_lowerNeedle)), m_integerKind(1u << kInt)
{}

bool RowFilter::textMayMatch(const char *utf8, qsizetype size) const
{
    // Texts beyond ASCII are compared as the store compares them, as text.
    const auto n = std::size_t(size);
    return !allAscii(utf8, n) || asciiMatches(utf8, n, m_lowerNeedle, m_exact);
}

unsigned RowStore::kindsThatMayHold(const QByteArray &lowerNeedle)
{
    unsigned kinds = ~0u;
    for (const unsigned kind : {kInt, kDigits, kDate, kGuid})
        if (!kindMayHold(kind, lowerNeedle))
            kinds &= ~(1u << kind);
    return kinds;
}

bool RowStore::textMatches(qsizetype row, int column, const QByteArray &lowerNeedle, const QString &needle,
                           bool exact) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return false;
    // Only the cell's own kind is weighed against the needle: the quick
    // filter asks this of every row at every keystroke.
    const unsigned char *p = cellAt(row, column);
    const unsigned kind = p[0] >> 4u;
    return cellMatches(p, row, column, lowerNeedle, needle, exact,
                       kindMayHold(kind, lowerNeedle) ? ~0u : ~(1u << kind));
}

int RowStore::firstMatchInRow(qsizetype row, int fromColumn, int lastColumn, const QByteArray &lowerNeedle,
                              const QString &needle, bool exact) const
{
    return firstMatchInRow(row, fromColumn, lastColumn, lowerNeedle, needle, exact, kindsThatMayHold(lowerNeedle));
}

int RowStore::firstMatchInRow(qsizetype row, int fromColumn, int lastColumn, const RowFilter &filter) const
{
    return firstMatchInRow(row, fromColumn, lastColumn, filter.m_lowerNeedle, filter.m_needle, filter.m_exact,
                           filter.m_kinds);
}

int RowStore::firstMatchInRow(qsizetype row, int fromColumn, int lastColumn, const QByteArray &lowerNeedle,
                              const QString &needle, bool exact, unsigned kinds) const
{
    if (row < 0 || row >= rowCount())
        return -1;
    fromColumn = std::max(fromColumn, 0);
    lastColumn = std::min(lastColumn, columnCount() - 1);
    if (fromColumn > lastColumn)
        return -1;
    // One walk along the row: each cell starts where the one before ends.
    const unsigned char *p = cellAt(row, fromColumn);
    for (int column = fromColumn;; ++column) {
        if (cellMatches(p, row, column, lowerNeedle, needle, exact, kinds))
            return column;
        if (column == lastColumn)
            return -1;
        p = skipCell(p);
    }
}

bool RowStore::cellMatches(const unsigned char *p, qsizetype row, int column, const QByteArray &lowerNeedle,
                           const QString &needle, bool exact, unsigned kinds) const
{
    const bool replaced = !m_overrides.isEmpty()
                          && m_overrides.contains(quint64(row) * quint64(columnCount()) + quint64(column));
    CellBuffer buffer;
    CellRef c;
    if (!replaced) {
        if (!(kinds & (1u << (p[0] >> 4))))
            return false;
        decode(p, (p[0] >> 4) == kDict ? dictionaryOf(segmentOf(row)) : nullptr, column, &buffer, &c);
    }
    if (replaced || c.type == CellType::Blob || !allAscii(c.bytes.data(), c.bytes.size())) {
        const QString t = text(row, column);
        return exact ? t.compare(needle, Qt::CaseInsensitive) == 0 : t.contains(needle, Qt::CaseInsensitive);
    }
    return asciiMatches(c.bytes.data(), c.bytes.size(), lowerNeedle, exact);
}

qsizetype RowStore::allocatedBytes() const
{
    qsizetype total = 0;
    for (qsizetype s : m_chunkSizes)
        total += s;
    total += qsizetype(m_rowStart.capacityBytes());
    total += qsizetype(m_chunkFirstRow.capacity() * sizeof(std::uint32_t) + m_chunkSizes.capacity() * sizeof(qsizetype)
                       + m_chunks.capacity() * sizeof(m_chunks.front()));
    total += qsizetype(m_segments.capacity() * sizeof(Segment));
    for (const Segment &s : m_segments) {
        total += qsizetype(sizeof(Dictionary));
        for (const ColumnDictionary &c : s.dictionary->columns)
            total += qsizetype(sizeof(ColumnDictionary) + c.allocated());
    }
    return total;
}

} // namespace korva::db
