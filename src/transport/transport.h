// The run object: one instance holds the whole run; every stage is one of its methods. Each stage
// lives in its own source file of this directory.
#pragma once

#include <string>

#include "settings/krymo_inp.h"

namespace krymo {

class Transport : public KrymoInp {
public:
    Transport() = default;
    ~Transport() override = default;

    void set_openmp_flag(bool on) { openmp_flag = on; }
    bool get_openmp_flag() const { return openmp_flag; }
    void set_trackdir(const std::string& dir) { trackdir = dir; }
    const std::string& get_trackdir() const { return trackdir; }

protected:
    bool openmp_flag = true;
    std::string trackdir = "track";
};

}  // namespace krymo
