#include "transport/pair_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace krymo {

namespace {

// Beyond this magnitude a bin number would lose precision; such items are kept in a plain list.
constexpr double kBinnedLimit = 1e12;

struct BinKey {
    std::int64_t k[4];  // the tag, then up to three bin numbers
    bool operator==(const BinKey& o) const {
        return k[0] == o.k[0] && k[1] == o.k[1] && k[2] == o.k[2] && k[3] == o.k[3];
    }
};

struct BinHash {
    size_t operator()(const BinKey& b) const {
        std::uint64_t h = 1469598103934665603ull;
        for (std::int64_t v : b.k) h = (h ^ static_cast<std::uint64_t>(v)) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};

}  // namespace

std::vector<int> latest_earlier_matches(int n, int dims, const double* values, const int* tags, double tolerance,
                                        const std::function<bool(int, int)>& same) {
    // Bins wider than the tolerance: two matching items lie in the same or adjacent bins along each axis.
    const double width = 1.25 * tolerance;
    std::vector<int> match(n, -1);
    std::unordered_map<BinKey, std::vector<int>, BinHash> bins;
    std::vector<int> unbinned;  // huge values, in item order
    // The latest item of `items` (ascending) that matches p, or -1.
    auto latest = [&](const std::vector<int>& items, int p) {
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            if (same(*it, p)) return *it;
        return -1;
    };
    int offsets = 1;
    for (int t = 0; t < dims; ++t) offsets *= 3;
    for (int p = 0; p < n; ++p) {
        const double* v = values + dims * p;
        bool finite = true, binned = true;
        for (int t = 0; t < dims; ++t) {
            finite = finite && std::isfinite(v[t]);
            binned = binned && std::fabs(v[t]) < kBinnedLimit;
        }
        if (!finite) continue;  // never compares as close to anything
        if (!binned) {
            for (int q = p - 1; q >= 0 && match[p] < 0; --q)
                if (same(q, p)) match[p] = q;
            unbinned.push_back(p);
            continue;
        }
        BinKey key{{tags ? tags[p] : 0, 0, 0, 0}};
        for (int t = 0; t < dims; ++t) key.k[1 + t] = static_cast<std::int64_t>(std::floor(v[t] / width));
        int best = latest(unbinned, p);
        for (int o = 0; o < offsets; ++o) {
            BinKey nk = key;
            for (int t = 0, r = o; t < dims; ++t, r /= 3) nk.k[1 + t] += r % 3 - 1;
            auto it = bins.find(nk);
            if (it != bins.end()) best = std::max(best, latest(it->second, p));
        }
        match[p] = best;
        bins[key].push_back(p);
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
