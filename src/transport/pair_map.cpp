#include "transport/pair_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace krymo {

namespace {

// Beyond this magnitude a bin number would lose precision; such items are compared with every
// earlier item.
constexpr double kBinnedLimit = 1e12;

struct Entry {
    std::int64_t key[4];  // the tag, then up to three bin numbers
    int item;
    signed char side[3];  // per value: the neighbouring bin (-1 or +1) that may also hold matches
};

int compare_keys(const std::int64_t* a, const std::int64_t* b) {
    for (int t = 0; t < 4; ++t)
        if (a[t] != b[t]) return a[t] < b[t] ? -1 : 1;
    return 0;
}

// The latest of the ascending items [first, last) that comes before p and matches it, or -1.
int latest_before(const int* first, const int* last, int p, const std::function<bool(int, int)>& same) {
    for (const int* it = std::lower_bound(first, last, p); it != first;)
        if (same(*--it, p)) return *it;
    return -1;
}

}  // namespace

std::vector<int> latest_earlier_matches(int n, int dims, const double* values, const int* tags, double tolerance,
                                        const std::function<bool(int, int)>& same) {
    // Bins 2.5 tolerances wide: a match of a value in the upper half of its bin lies in that bin or
    // the next one, a match of a value in the lower half in that bin or the one before, with a tenth
    // of a bin to spare for rounding. So 2^dims bins are looked at.
    const double width = 2.5 * tolerance;
    std::vector<int> match(n, -1);
    std::vector<Entry> entries;
    std::vector<int> huge;  // ascending
    for (int p = 0; p < n; ++p) {
        const double* v = values + dims * p;
        bool finite = true, binned = true;
        for (int t = 0; t < dims; ++t) {
            finite = finite && std::isfinite(v[t]);
            binned = binned && std::fabs(v[t]) < kBinnedLimit;
        }
        if (!finite) continue;  // never compares as close to anything
        if (!binned) {
            huge.push_back(p);
            continue;
        }
        Entry e{{tags ? tags[p] : 0, 0, 0, 0}, p, {0, 0, 0}};
        for (int t = 0; t < dims; ++t) {
            const double b = std::floor(v[t] / width);
            e.key[1 + t] = static_cast<std::int64_t>(b);
            e.side[t] = v[t] / width - b < 0.5 ? -1 : 1;
        }
        entries.push_back(e);
    }
    for (int p : huge)
        for (int q = p - 1; q >= 0 && match[p] < 0; --q)
            if (same(q, p)) match[p] = q;

    // Entries sorted by key, items ascending within a key: the bins are runs of entries. Visiting
    // them in key order, the neighbouring bin in one direction is found by a cursor per direction
    // that only moves forward, so the whole pass walks memory in order.
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int c = compare_keys(a.key, b.key);
        return c < 0 || (c == 0 && a.item < b.item);
    });
    std::vector<int> items(entries.size());
    std::vector<size_t> start;  // first entry of each bin, then the entry count
    for (size_t t = 0; t < entries.size(); ++t) {
        items[t] = entries[t].item;
        if (t == 0 || compare_keys(entries[t].key, entries[t - 1].key) != 0) start.push_back(t);
    }
    const size_t nbins = start.size();
    start.push_back(entries.size());
    int directions = 1;
    for (int t = 0; t < dims; ++t) directions *= 3;
    std::vector<size_t> cursor(directions, 0);
    for (const Entry& e : entries) {
        const int p = e.item;
        int best = latest_before(huge.data(), huge.data() + huge.size(), p, same);
        for (int o = 0; o < 1 << dims; ++o) {
            std::int64_t target[4] = {e.key[0], e.key[1], e.key[2], e.key[3]};
            int direction = 0;
            for (int t = 0; t < dims; ++t) {
                const int d = (o >> t & 1) ? e.side[t] : 0;
                target[1 + t] += d;
                direction = 3 * direction + d + 1;
            }
            size_t& b = cursor[direction];
            while (b < nbins && compare_keys(entries[start[b]].key, target) < 0) ++b;
            if (b < nbins && compare_keys(entries[start[b]].key, target) == 0)
                best = std::max(best, latest_before(&items[start[b]], items.data() + start[b + 1], p, same));
        }
        match[p] = best;
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
