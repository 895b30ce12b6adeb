#include "util/sort.h"

#include <utility>

namespace krymo {

namespace {
void sort_range(const double* values, int* index, int left, int right) {
    while (left < right) {
        const double pivot = values[index[(left + right) / 2]];
        int i = left, j = right;
        while (i < j) {
            while (values[index[i]] < pivot) ++i;
            while (values[index[j]] > pivot) --j;
            if (i > j) break;
            std::swap(index[i], index[j]);
            ++i;
            --j;
        }
        if (left < j) sort_range(values, index, left, j);
        left = i;  // the right-hand range continues as a loop
    }
}
}  // namespace

void quickSort_d(const double* values, int* index, int n) {
    if (n > 1) sort_range(values, index, 0, n - 1);
}

}  // namespace krymo
