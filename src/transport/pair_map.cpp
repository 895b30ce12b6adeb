#include "transport/pair_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace krymo {

namespace {

// Beyond this magnitude a bin number would lose precision; such items are kept in a plain list.
constexpr double kBinnedLimit = 1e12;

struct BinKey {
    std::int64_t k[4];  // the tag, then up to three bin numbers
    bool operator==(const BinKey& o) const {
        return k[0] == o.k[0] && k[1] == o.k[1] && k[2] == o.k[2] && k[3] == o.k[3];
    }
    bool operator<(const BinKey& o) const {
        return std::lexicographical_compare(k, k + 4, o.k, o.k + 4);
    }
};

std::uint64_t hash_key(const BinKey& b) {
    std::uint64_t h = 0x9e3779b97f4a7c15ull;
    for (std::int64_t v : b.k) {
        h ^= static_cast<std::uint64_t>(v) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
        h = (h ^ (h >> 31)) * 0xbf58476d1ce4e5b9ull;
    }
    return h ^ (h >> 29);
}

// The bins of the binned items, all known in advance: each bin lists its items ascending, and an
// open-addressing table finds a bin by its key.
class Bins {
public:
    Bins(const std::vector<BinKey>& key, const std::vector<int>& items) : key_(key), bin_of_(key.size(), -1) {
        std::vector<int> sorted = items;
        std::sort(sorted.begin(), sorted.end(), [&](int a, int b) { return key[a] < key[b] || (key[a] == key[b] && a < b); });
        for (size_t t = 0; t < sorted.size(); ++t) {
            if (t == 0 || !(key[sorted[t]] == key[sorted[t - 1]])) start_.push_back(static_cast<int>(t));
            bin_of_[sorted[t]] = static_cast<int>(start_.size()) - 1;
        }
        start_.push_back(static_cast<int>(sorted.size()));
        items_ = std::move(sorted);
        filled_.assign(start_.size() - 1, 0);
        // A sparse table, so that the many lookups of empty neighbour bins end after a probe or two;
        // each slot keeps the upper half of its key's hash, so that the key itself is rarely read.
        size_t size = 16;
        while (size < 4 * filled_.size()) size *= 2;
        slots_.assign(size, Slot{-1, 0});
        for (int b = 0; b + 1 < static_cast<int>(start_.size()); ++b) {
            const std::uint64_t hash = hash_key(first_key(b));
            size_t h = hash & (size - 1);
            while (slots_[h].bin >= 0) h = (h + 1) & (size - 1);
            slots_[h] = Slot{b, static_cast<std::uint32_t>(hash >> 32)};
        }
    }
    // The bin of the key, or -1.
    int find(const BinKey& k) const {
        const size_t mask = slots_.size() - 1;
        const std::uint64_t hash = hash_key(k);
        const auto check = static_cast<std::uint32_t>(hash >> 32);
        for (size_t h = hash & mask; slots_[h].bin >= 0; h = (h + 1) & mask)
            if (slots_[h].check == check && first_key(slots_[h].bin) == k) return slots_[h].bin;
        return -1;
    }
    // The items of bin b already added, ascending.
    const int* begin(int b) const { return items_.data() + start_[b]; }
    const int* end(int b) const { return items_.data() + start_[b] + filled_[b]; }
    // Items are added in ascending order, so each bin's added items are a prefix of its list.
    void add(int p) { ++filled_[bin_of_[p]]; }

private:
    struct Slot {
        int bin;
        std::uint32_t check;
    };
    const BinKey& first_key(int b) const { return key_[items_[start_[b]]]; }
    const std::vector<BinKey>& key_;
    std::vector<int> bin_of_, items_, start_, filled_;
    std::vector<Slot> slots_;
};

}  // namespace

std::vector<int> latest_earlier_matches(int n, int dims, const double* values, const int* tags, double tolerance,
                                        const std::function<bool(int, int)>& same) {
    // Bins 2.5 tolerances wide: a match of a value in the upper half of its bin lies in that bin or
    // the next one, a match of a value in the lower half in that bin or the one before, with a tenth
    // of a bin to spare for rounding. So 2^dims bins are looked at.
    const double width = 2.5 * tolerance;
    enum Kind : char { kNotFinite, kBinned, kHuge };
    std::vector<Kind> kind(n, kBinned);
    std::vector<BinKey> key(n, BinKey{{0, 0, 0, 0}});
    std::vector<char> side(n * dims, 0);  // per value: -1 or +1, the neighbouring bin that may hold matches
    std::vector<int> binned;
    for (int p = 0; p < n; ++p) {
        const double* v = values + dims * p;
        for (int t = 0; t < dims; ++t) {
            if (!std::isfinite(v[t])) kind[p] = kNotFinite;  // never compares as close to anything
            else if (kind[p] == kBinned && !(std::fabs(v[t]) < kBinnedLimit)) kind[p] = kHuge;
        }
        if (kind[p] != kBinned) continue;
        key[p].k[0] = tags ? tags[p] : 0;
        for (int t = 0; t < dims; ++t) {
            const double b = std::floor(v[t] / width);
            key[p].k[1 + t] = static_cast<std::int64_t>(b);
            side[dims * p + t] = v[t] / width - b < 0.5 ? -1 : 1;
        }
        binned.push_back(p);
    }
    Bins bins(key, binned);
    std::vector<int> match(n, -1);
    std::vector<int> huge;  // in item order
    // The latest of the ascending items [first, last) that matches p, or -1.
    auto latest = [&](const int* first, const int* last, int p) {
        for (const int* it = last; it != first;)
            if (same(*--it, p)) return *it;
        return -1;
    };
    const int offsets = 1 << dims;
    for (int p = 0; p < n; ++p) {
        if (kind[p] == kNotFinite) continue;
        if (kind[p] == kHuge) {
            for (int q = p - 1; q >= 0 && match[p] < 0; --q)
                if (same(q, p)) match[p] = q;
            huge.push_back(p);
            continue;
        }
        int best = latest(huge.data(), huge.data() + huge.size(), p);
        for (int o = 0; o < offsets; ++o) {
            BinKey nk = key[p];
            for (int t = 0; t < dims; ++t)
                if (o >> t & 1) nk.k[1 + t] += side[dims * p + t];
            const int b = bins.find(nk);
            if (b >= 0) best = std::max(best, latest(bins.begin(b), bins.end(b), p));
        }
        match[p] = best;
        bins.add(p);
    }
    return match;
}

void build_pair_map(const double* eig, int n, std::vector<int>& map) {
    const std::vector<int> match = latest_earlier_matches(n, 3, eig, nullptr, kPairEigenTolerance, [eig](int q, int p) {
        const double *a = eig + 3 * q, *b = eig + 3 * p;
        return std::fabs(a[0] - b[0]) < kPairEigenTolerance && std::fabs(a[1] - b[1]) < kPairEigenTolerance &&
               std::fabs(a[2] - b[2]) < kPairEigenTolerance;
    });
    map.resize(n);
    for (int p = 0; p < n; ++p) map[p] = match[p] < 0 ? p : map[match[p]];
}

}  // namespace krymo
