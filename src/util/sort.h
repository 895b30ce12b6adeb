#pragma once

namespace krymo {

// Index sort: permutes index[0..n-1] (filled by the caller) so that values[index[k]] ascend.
// The partition scheme is fixed because the order of equal values is visible in neighbour files.
void quickSort_d(const double* values, int* index, int n);

}  // namespace krymo
