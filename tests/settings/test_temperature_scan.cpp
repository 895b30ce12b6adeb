// A requested temperature scan needs a count of temperatures: a zero or non-numeric step, or a
// temperature that is not a number, stops the read with status 1.
#include "settings_probe.h"

TEST_F(SettingsTest, ScanWithoutAUsableStepOrTemperatureStops) {
    // A zero step is a number: the scan check after the read names it. Words, NaN and infinities are
    // not numbers at all: the reader names them. Both name the line.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"do_transport_run_MC_temp = 1\ndelta_temp = 0\n", "delta_temp in krymo.inp, line 3: ", "do_transport_*_temp"},
        {"do_transport_get_mob_MC_temp = 1\ndelta_temp = fifty\n", "delta_temp in krymo.inp, line 3: ", "finite"},
        {"do_transport_run_ME_temp = 1\nstart_temp = nan\n", "start_temp in krymo.inp, line 3: ", "finite"},
        {"do_transport_run_ME_temp = 1\nend_temp = -inf\n", "end_temp in krymo.inp, line 3: ", "finite"},
    };
    for (const auto& [body, where, expected] : cases) {
        SCOPED_TRACE(body);
        const krymo::FatalError e = read_fails(section(body));
        EXPECT_EQ(e.unit, "krymo_inp");
        EXPECT_EQ(e.status, 1);
        EXPECT_EQ(e.out_text.rfind(std::string("Invalid value of ") + where, 0), 0u) << e.out_text;
        EXPECT_NE(e.out_text.find(expected), std::string::npos) << e.out_text;
    }
    // Without a scan the step is never used, and a negative step scans downwards.
    read("&transport\ndelta_temp = 0\n/\n&transport\ndo_transport_run_MC_temp = 0\n/\n");
    read(section("do_transport_run_MC_temp = 1\nstart_temp = 300\nend_temp = 200\ndelta_temp = -50\n"));
}
