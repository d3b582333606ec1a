#include "widgets/rowview.h"

#include "platform/backgroundtask.h"
#include "platform/rowstore.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <new>
#include <string_view>

#include <sys/mman.h>

namespace korva::rowview {

namespace {
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
// The bytes asked for, in whole huge pages; 0 for a block too small for one.
std::size_t hugeBytes(std::size_t bytes)
{
    return bytes >= kHugePage ? (bytes + kHugePage - 1) / kHugePage * kHugePage : 0;
}
} // namespace

void *allocateScratch(std::size_t bytes)
{
    const std::size_t huge = hugeBytes(bytes);
    if (huge == 0)
        return ::operator new(bytes);
    void *p = std::aligned_alloc(kHugePage, huge);
    if (!p)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(p, huge, MADV_HUGEPAGE);
#endif
    return p;
}

void freeScratch(void *p, std::size_t bytes) noexcept
{
    if (hugeBytes(bytes) == 0)
        ::operator delete(p);
    else
        std::free(p);
}

namespace {

inline unsigned char foldAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

// Text order: ASCII letters without regard to case, everything else by its
// UTF-8 bytes, which is code point order.
int compareText(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = foldAscii(static_cast<unsigned char>(a[i]));
        const unsigned char y = foldAscii(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::optional<double> parseNumber(std::string_view s)
{
    if (s.empty())
        return std::nullopt;
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

// An unsigned key that orders as the number does.
inline std::uint64_t orderedBits(double d)
{
    if (d == 0)
        d = 0; // -0 and 0 are the same number
    std::uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return (u & 0x8000000000000000ull) ? ~u : (u | 0x8000000000000000ull);
}

// A stable least-significant-digit radix sort of (key, row) pairs, 16 bits
// a pass; passes in which every key has the same digit are left out.
void radixSort(ScratchVector<std::pair<std::uint64_t, std::int32_t>> &keyed)
{
    ScratchVector<std::pair<std::uint64_t, std::int32_t>> other(keyed.size());
    std::vector<std::uint32_t> counts(1 << 16);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(counts.begin(), counts.end(), 0);
        for (const auto &k : keyed)
            ++counts[(k.first >> shift) & 0xFFFF];
        if (counts[(keyed.front().first >> shift) & 0xFFFF] == keyed.size())
            continue;
        std::uint32_t at = 0;
        for (std::uint32_t &c : counts)
            at += std::exchange(c, at);
        for (const auto &k : keyed)
            other[counts[(k.first >> shift) & 0xFFFF]++] = k;
        keyed.swap(other);
    }
}

struct DateKey
{
    std::int64_t seconds;  // YYYYMMDDhhmmss as decimal digits
    std::int32_t fraction; // seven digits
    bool operator<(const DateKey &o) const
    {
        return seconds != o.seconds ? seconds < o.seconds : fraction < o.fraction;
    }
};

bool digits(std::string_view s, std::size_t at, std::size_t count, std::int64_t *value)
{
    if (at + count > s.size())
        return false;
    std::int64_t v = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    *value = v;
    return true;
}

// "yyyy-mm-dd", then optionally " hh:mm", ":ss" and a fraction of up to
// seven digits (a "T" may stand for the blank).
std::optional<DateKey> parseDate(std::string_view s)
{
    std::int64_t y, mo, d, h = 0, mi = 0, sec = 0;
    if (s.size() < 10 || s[4] != '-' || s[7] != '-' || !digits(s, 0, 4, &y) || !digits(s, 5, 2, &mo)
        || !digits(s, 8, 2, &d))
        return std::nullopt;
    std::size_t at = 10;
    std::int32_t fraction = 0;
    if (at < s.size()) {
        if ((s[at] != ' ' && s[at] != 'T') || at + 6 > s.size() || s[at + 3] != ':' || !digits(s, at + 1, 2, &h)
            || !digits(s, at + 4, 2, &mi))
            return std::nullopt;
        at += 6;
        if (at < s.size()) {
            if (s[at] != ':' || !digits(s, at + 1, 2, &sec))
                return std::nullopt;
            at += 3;
            if (at < s.size()) {
                if (s[at] != '.' || s.size() - at - 1 < 1 || s.size() - at - 1 > 7)
                    return std::nullopt;
                std::int64_t f = 0;
                const std::size_t n = s.size() - at - 1;
                if (!digits(s, at + 1, n, &f))
                    return std::nullopt;
                for (std::size_t k = n; k < 7; ++k)
                    f *= 10;
                fraction = std::int32_t(f);
            }
        }
    }
    return DateKey{((((y * 100 + mo) * 100 + d) * 100 + h) * 100 + mi) * 100 + sec, fraction};
}

struct GuidKey
{
    std::uint64_t high;
    std::uint64_t low;
    bool operator<(const GuidKey &o) const { return high != o.high ? high < o.high : low < o.low; }
};

std::optional<GuidKey> parseGuid(std::string_view s)
{
    if (s.size() == 38 && s.front() == '{' && s.back() == '}')
        s = s.substr(1, 36);
    if (s.size() != 36)
        return std::nullopt;
    GuidKey key{0, 0};
    int nibbles = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-')
                return std::nullopt;
            continue;
        }
        unsigned v;
        if (c >= '0' && c <= '9')
            v = unsigned(c - '0');
        else if (c >= 'a' && c <= 'f')
            v = unsigned(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            v = unsigned(c - 'A' + 10);
        else
            return std::nullopt;
        std::uint64_t &half = nibbles < 16 ? key.high : key.low;
        half = (half << 4) | v;
        ++nibbles;
    }
    return key;
}

// A cell's bytes and type; a cell replaced by an edit is written out into
// `kept`, which holds it for as long as the bytes are used.
struct Cell
{
    std::string_view bytes;
    db::CellType type;
};

Cell cellOf(const db::RowStore &store, qsizetype row, int column, std::deque<QByteArray> *kept)
{
    Cell c{{}, db::CellType::Null};
    db::CellBuffer buffer;
    if (store.storedCell(row, column, &c.bytes, &c.type, &buffer)) {
        // Bytes written out into the buffer are kept beyond it.
        if (c.bytes.data() >= buffer.data && c.bytes.data() < buffer.data + sizeof buffer.data) {
            kept->emplace_back(c.bytes.data(), qsizetype(c.bytes.size()));
            c.bytes = std::string_view(kept->back().constData(), std::size_t(kept->back().size()));
        }
        return c;
    }
    c.type = store.type(row, column);
    if (c.type != db::CellType::Null) {
        kept->push_back(store.text(row, column).toUtf8());
        c.bytes = std::string_view(kept->back().constData(), std::size_t(kept->back().size()));
    }
    return c;
}

// Copies of short texts, kept together in large blocks that never move.
class ByteArena
{
public:
    std::string_view keep(std::string_view bytes)
    {
        if (bytes.size() > kBlock / 4) {
            m_large.emplace_back(bytes.data(), qsizetype(bytes.size()));
            return {m_large.back().constData(), bytes.size()};
        }
        if (m_blocks.empty() || m_used + bytes.size() > kBlock) {
            m_blocks.push_back(std::make_unique<char[]>(kBlock));
            m_used = 0;
        }
        char *at = m_blocks.back().get() + m_used;
        std::memcpy(at, bytes.data(), bytes.size());
        m_used += bytes.size();
        return {at, bytes.size()};
    }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::deque<QByteArray> m_large;
    std::size_t m_used = 0;
};

// A cell met in a walk down a column; its bytes are kept beyond the walk's
// next cell when an arena is given.
Cell walkedCell(const db::RowStore &store, qsizetype row, int column, const db::CellRef &ref, ByteArena *arena,
                std::deque<QByteArray> *kept)
{
    if (ref.replaced)
        return cellOf(store, row, column, kept);
    if (arena && !ref.stable && ref.type != db::CellType::Null)
        return {arena->keep(ref.bytes), ref.type};
    return {ref.bytes, ref.type};
}

// The sorted rows with the null ones before them (after them when descending).
template<class Keyed>
RowList joined(const Keyed &keyed, const RowList &nulls, bool descending)
{
    RowList rows;
    rows.reserve(keyed.size() + nulls.size());
    if (!descending)
        rows.insert(rows.end(), nulls.begin(), nulls.end());
    for (const auto &k : keyed)
        rows.push_back(k.second);
    if (descending)
        rows.insert(rows.end(), nulls.begin(), nulls.end());
    return rows;
}

template<class Key, class Parse>
RowList sortBy(const db::RowStore &store, int column, bool descending, const StopToken *stop, Parse parse,
               bool keysHoldBytes)
{
    const qsizetype n = store.rowCount();
    ScratchVector<std::pair<Key, std::int32_t>> keyed;
    keyed.reserve(std::size_t(n));
    RowList nulls;
    std::deque<QByteArray> kept;
    ByteArena arena;
    bool stopped = false;
    store.forEachCell(column, [&](qsizetype r, const db::CellRef &ref) {
        if (stopped || ((r & 0xFFFF) == 0 && stop && (stopped = stop->stopRequested())))
            return;
        const Cell c = walkedCell(store, r, column, ref, keysHoldBytes ? &arena : nullptr, &kept);
        if (c.type == db::CellType::Null)
            nulls.push_back(std::int32_t(r));
        else
            keyed.emplace_back(parse(c), std::int32_t(r));
    });
    if (stopped)
        return {};
    const auto before = [descending](const auto &a, const auto &b) {
        return descending ? b.first < a.first : a.first < b.first;
    };
    if (!std::is_sorted(keyed.begin(), keyed.end(), before))
        std::stable_sort(keyed.begin(), keyed.end(), before);
    if (stop && stop->stopRequested())
        return {};
    return joined(keyed, nulls, descending);
}

// Integers (as the store writes them) without the general number parser.
double numberOf(const Cell &c)
{
    if (c.type == db::CellType::Integer) {
        std::int64_t v = 0;
        const auto [end, ec] = std::from_chars(c.bytes.data(), c.bytes.data() + c.bytes.size(), v);
        if (ec == std::errc() && end == c.bytes.data() + c.bytes.size())
            return double(v);
    }
    return parseNumber(c.bytes).value_or(0.0);
}

// Numbers: keys that order as unsigned integers, sorted by their digits.
// Nothing when a cell holds no number (the column is sorted as another kind).
std::optional<RowList> sortNumbers(const db::RowStore &store, int column, bool descending, const StopToken *stop)
{
    const qsizetype n = store.rowCount();
    ScratchVector<std::pair<std::uint64_t, std::int32_t>> keyed;
    keyed.reserve(std::size_t(n));
    RowList nulls;
    std::deque<QByteArray> kept;
    bool numbers = true;
    store.forEachCell(
        column,
        [&](qsizetype r, const db::CellRef &ref) {
            if (!numbers)
                return;
            std::uint64_t key;
            if (ref.type == db::CellType::Integer && !ref.replaced) {
                key = orderedBits(double(ref.integer));
            } else {
                kept.clear();
                const Cell c = ref.replaced || ref.type == db::CellType::Integer
                                   ? cellOf(store, r, column, &kept)
                                   : Cell{ref.bytes, ref.type};
                if (c.type == db::CellType::Null) {
                    nulls.push_back(std::int32_t(r));
                    return;
                }
                std::optional<double> v;
                if (c.type != db::CellType::Blob)
                    v = c.type == db::CellType::Integer ? std::optional<double>(numberOf(c)) : parseNumber(c.bytes);
                if (!v) {
                    numbers = false;
                    return;
                }
                key = orderedBits(*v);
            }
            // Descending: the keys turned round, so equal ones still keep their order.
            keyed.emplace_back(descending ? ~key : key, std::int32_t(r));
        },
        false);
    if (!numbers)
        return std::nullopt;
    if (stop && stop->stopRequested())
        return RowList();
    // Keys already in order (an ID column, say) need no sorting.
    const auto keyLess = [](const auto &a, const auto &b) { return a.first < b.first; };
    if (!keyed.empty() && !std::is_sorted(keyed.begin(), keyed.end(), keyLess))
        radixSort(keyed);
    return joined(keyed, nulls, descending);
}

struct TextKey
{
    std::string_view bytes;
    bool operator<(const TextKey &o) const { return compareText(bytes, o.bytes) < 0; }
};

} // namespace

SortKind sortKindOf(const db::RowStore &store, int column)
{
    bool number = true, date = true, guid = true;
    std::deque<QByteArray> kept;
    store.forEachCell(column, [&](qsizetype r, const db::CellRef &ref) {
        if (!(number || date || guid))
            return;
        kept.clear();
        const Cell c = walkedCell(store, r, column, ref, nullptr, &kept);
        if (c.type == db::CellType::Null)
            return;
        if (c.type == db::CellType::Blob) {
            number = date = guid = false;
            return;
        }
        const bool numeric = c.type == db::CellType::Integer || c.type == db::CellType::Real;
        number = number && (numeric || parseNumber(c.bytes));
        date = date && !numeric && parseDate(c.bytes);
        guid = guid && !numeric && parseGuid(c.bytes);
    }, false);
    if (number)
        return SortKind::Number;
    if (date)
        return SortKind::Date;
    if (guid)
        return SortKind::Guid;
    return SortKind::Text;
}

RowList sortedRows(const db::RowStore &store, int column, bool descending, const StopToken *stop)
{
    // A column of numbers is sorted in the same walk that finds it is one.
    if (std::optional<RowList> rows = sortNumbers(store, column, descending, stop))
        return std::move(*rows);
    switch (sortKindOf(store, column)) {
    case SortKind::Number: // not reached: the walk above took every number
    case SortKind::Text:
        break;
    case SortKind::Date:
        return sortBy<DateKey>(store, column, descending, stop, [](const Cell &c) {
            return parseDate(c.bytes).value_or(DateKey{0, 0});
        }, false);
    case SortKind::Guid:
        return sortBy<GuidKey>(store, column, descending, stop, [](const Cell &c) {
            return parseGuid(c.bytes).value_or(GuidKey{0, 0});
        }, false);
    }
    // Text keys point into the store (cells an edit replaced into sortBy's own keeping).
    return sortBy<TextKey>(
        store, column, descending, stop, [](const Cell &c) { return TextKey{c.bytes}; }, true);
}

std::optional<ColumnFilter> parseFilter(int column, const QString &typed)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    ColumnFilter f;
    f.column = column;
    if (t.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0) {
        f.test = ColumnFilter::Test::IsNull;
        return f;
    }
    if (t.compare(QLatin1String("!null"), Qt::CaseInsensitive) == 0) {
        f.test = ColumnFilter::Test::NotNull;
        return f;
    }
    f.text = t;
    if (t.size() > 1 && (t[0] == u'=' || t[0] == u'>' || t[0] == u'<')) {
        f.test = t[0] == u'=' ? ColumnFilter::Test::Equals
                              : (t[0] == u'>' ? ColumnFilter::Test::Greater : ColumnFilter::Test::Less);
        f.text = t.mid(1).trimmed();
    }
    f.lowerUtf8 = f.text.toLower().toUtf8();
    const QByteArray utf8 = f.text.toUtf8();
    f.number = parseNumber(std::string_view(utf8.constData(), std::size_t(utf8.size())));
    return f;
}

bool passes(const db::RowStore &store, qsizetype row, const ColumnFilter &f)
{
    using Test = ColumnFilter::Test;
    const bool null = store.isNull(row, f.column);
    switch (f.test) {
    case Test::IsNull:
        return null;
    case Test::NotNull:
        return !null;
    case Test::Contains:
        return !null && store.textMatches(row, f.column, f.lowerUtf8, f.text, false);
    case Test::Equals:
        return !null && store.textMatches(row, f.column, f.lowerUtf8, f.text, true);
    case Test::Greater:
    case Test::Less:
        break;
    }
    if (null)
        return false;
    std::deque<QByteArray> kept;
    const Cell c = cellOf(store, row, f.column, &kept);
    int order;
    const std::optional<double> cellNumber = f.number ? parseNumber(c.bytes) : std::nullopt;
    if (cellNumber)
        order = *cellNumber < *f.number ? -1 : (*f.number < *cellNumber ? 1 : 0);
    else
        order = compareText(c.bytes, std::string_view(f.lowerUtf8.constData(), std::size_t(f.lowerUtf8.size())));
    return f.test == Test::Greater ? order > 0 : order < 0;
}

RowList filteredRows(const db::RowStore &store, const RowList *order, qsizetype rowCount,
                     const QList<ColumnFilter> &filters, const StopToken *stop)
{
    RowList rows;
    const qsizetype n = order ? qsizetype(order->size()) : std::min(rowCount, store.rowCount());
    for (qsizetype i = 0; i < n; ++i) {
        const std::int32_t r = order ? (*order)[std::size_t(i)] : std::int32_t(i);
        bool ok = true;
        for (const ColumnFilter &f : filters)
            if (!(ok = passes(store, r, f)))
                break;
        if (ok)
            rows.push_back(r);
        if ((i & 0xFFFF) == 0 && stop && stop->stopRequested())
            return {};
    }
    return rows;
}

std::vector<CellRef> findCells(const db::RowStore &store, const RowList *shown, qsizetype rowCount,
                               const QString &needle, const StopToken *stop)
{
    std::vector<CellRef> found;
    if (needle.isEmpty())
        return found;
    const QByteArray lower = needle.toLower().toUtf8();
    const qsizetype n = shown ? qsizetype(shown->size()) : std::min(rowCount, store.rowCount());
    const int columns = store.columnCount();
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype r = shown ? (*shown)[std::size_t(i)] : i;
        for (int c = 0; c < columns; ++c)
            if (store.textMatches(r, c, lower, needle, false))
                found.push_back({std::int32_t(i), std::int32_t(c)});
        if ((i & 0xFFFF) == 0 && stop && stop->stopRequested())
            return {};
    }
    return found;
}

} // namespace korva::rowview
