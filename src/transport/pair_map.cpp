#include "transport/pair_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace krymo {

namespace {

bool same_pair(const double* a, const double* b) {
    return std::fabs(a[0] - b[0]) < kPairEigenTolerance && std::fabs(a[1] - b[1]) < kPairEigenTolerance &&
           std::fabs(a[2] - b[2]) < kPairEigenTolerance;
}

// Bins wider than the tolerance: two matching items lie in the same or adjacent bins along each axis.
constexpr double kBinWidth = 1.25 * kPairEigenTolerance;
// Beyond this magnitude a bin number would lose precision; such items are kept in a plain list.
constexpr double kBinnedLimit = 1e12;

struct BinKey {
    std::int64_t k[3];
    bool operator==(const BinKey& o) const { return k[0] == o.k[0] && k[1] == o.k[1] && k[2] == o.k[2]; }
};

struct BinHash {
    size_t operator()(const BinKey& b) const {
        std::uint64_t h = 1469598103934665603ull;
        for (std::int64_t v : b.k) h = (h ^ static_cast<std::uint64_t>(v)) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};

// The latest item of `items` (ascending) that matches e, or -1.
int latest_match(const std::vector<int>& items, const double* eig, const double* e) {
    for (auto it = items.rbegin(); it != items.rend(); ++it)
        if (same_pair(eig + 3 * *it, e)) return *it;
    return -1;
}

}  // namespace

void build_pair_map(const double* eig, int n, std::vector<int>& map) {
    map.resize(n);
    std::unordered_map<BinKey, std::vector<int>, BinHash> bins;
    std::vector<int> unbinned;  // huge values, in item order
    for (int p = 0; p < n; ++p) {
        const double* e = eig + 3 * p;
        map[p] = p;
        // A value that is not finite never compares as close to anything.
        if (!(std::isfinite(e[0]) && std::isfinite(e[1]) && std::isfinite(e[2]))) continue;
        const bool binned = std::fabs(e[0]) < kBinnedLimit && std::fabs(e[1]) < kBinnedLimit &&
                            std::fabs(e[2]) < kBinnedLimit;
        int best = -1;
        BinKey key{};
        if (binned) {
            for (int t = 0; t < 3; ++t) key.k[t] = static_cast<std::int64_t>(std::floor(e[t] / kBinWidth));
            for (int d0 = -1; d0 <= 1; ++d0)
                for (int d1 = -1; d1 <= 1; ++d1)
                    for (int d2 = -1; d2 <= 1; ++d2) {
                        const BinKey nk{{key.k[0] + d0, key.k[1] + d1, key.k[2] + d2}};
                        auto it = bins.find(nk);
                        if (it != bins.end()) best = std::max(best, latest_match(it->second, eig, e));
                    }
            best = std::max(best, latest_match(unbinned, eig, e));
        } else {
            for (int q = p - 1; q >= 0 && best < 0; --q)
                if (same_pair(eig + 3 * q, e)) best = q;
        }
        if (best >= 0) map[p] = map[best];
        if (binned)
            bins[key].push_back(p);
        else
            unbinned.push_back(p);
    }
}

}  // namespace krymo
