#include "tests/e2e/driver/steps.h"

#include <gtest/gtest.h>

namespace {

using driver::Step;

TEST(DriverScript, EachArgumentIsOneStep) {
    const struct {
        const char* argument;
        Step::Kind kind;
        int control;
        const char* text;
        std::uint32_t address;
        unsigned number;
    } rows[] = {
        {"serial=1234", Step::SetText, 1002, "1234", 0, 0},
        {"serial=", Step::SetText, 1002, "", 0, 0},
        {"firmware-path=C:\\my files\\a=b.bin", Step::SetText, 1024, "C:\\my files\\a=b.bin", 0, 0},
        {"web-path=x.ROM", Step::SetText, 1027, "x.ROM", 0, 0},
        {"address=10.77.0.50", Step::SetAddress, 1005, "", 0x0A4D0032, 0},
        {"netmask=255.255.255.0", Step::SetAddress, 1006, "", 0xFFFFFF00, 0},
        {"gateway=0.0.0.0", Step::SetAddress, 1007, "", 0, 0},
        {"apply", Step::Click, 1039, "", 0, 0},
        {"show", Step::Click, 1009, "", 0, 0},
        {"browse-firmware", Step::Click, 1025, "", 0, 0},
        {"update-firmware", Step::Click, 1026, "", 0, 0},
        {"browse-web", Step::Click, 1028, "", 0, 0},
        {"update-web", Step::Click, 1029, "", 0, 0},
        {"tab=1", Step::Tab, 1037, "", 0, 1},
        {"tab=0", Step::Tab, 1037, "", 0, 0},
        {"tab=2", Step::Tab, 1037, "", 0, 2},
        {"tab=3", Step::Tab, 1037, "", 0, 3},
        {"until=1085:units found on", Step::Until, 1085, "units found on", 0, 0},
        {"box", Step::Box, 0, "", 0, 30},
        {"box=45", Step::Box, 0, "", 0, 45},
        {"no-box=3", Step::NoBox, 0, "", 0, 3},
        {"check", Step::Check, 0, "", 0, 30},
        {"check=10", Step::Check, 0, "", 0, 10},
        {"dialog=Fill the list", Step::Dialog, 0, "Fill the list", 0, 0},
        {"main", Step::Dialog, 0, "", 0, 0},
        {"focus=1073", Step::Focus, 1073, "", 0, 0},
        {"read=1038", Step::Read, 1038, "", 0, 0},
        {"where=1009", Step::Where, 1009, "", 0, 0},
        {"text=1002:99999", Step::SetText, 1002, "99999", 0, 0},
        {"ip=1005:192.168.1.50", Step::SetAddress, 1005, "", 0xC0A80132, 0},
        {"click=1039", Step::Click, 1039, "", 0, 0},
        {"sleep=1500", Step::Sleep, 0, "", 0, 1500},
        {"close", Step::Close, 0, "", 0, 0},
        {"ready", Step::Ready, 1037, "", 0, 0},
    };
    for (const auto& row : rows) {
        const driver::Script script = driver::ParseScript({row.argument});
        ASSERT_EQ(script.error, "") << row.argument;
        ASSERT_EQ(script.steps.size(), 1u) << row.argument;
        const Step& step = script.steps[0];
        EXPECT_EQ(step.kind, row.kind) << row.argument;
        EXPECT_EQ(step.control, row.control) << row.argument;
        EXPECT_EQ(step.text, row.text) << row.argument;
        EXPECT_EQ(step.address, row.address) << row.argument;
        EXPECT_EQ(step.number, row.number) << row.argument;
    }
}

TEST(DriverScript, AnyArgumentNotUnderstoodRejectsTheWholeScript) {
    const char* bad[] = {
        "address=10.77.0",
        "address=10.77.0.256",
        "address=10.77.0.5.1",
        "address=a.b.c.d",
        "address=",
        "netmask=255.255.255.0 ",
        "address=1000.1.1.1",
        "gateway",
        "tab=4",
        "until=1085:",
        "until=1085",
        "tab=",
        "box=x",
        "check=x",
        "dialog=",
        "main=1",
        "focus=",
        "focus=70000",
        "box=-1",
        "sleep=",
        "read=70000",
        "text=1002",
        "text=:x",
        "ip=1005:1.2.3",
        "click=apply",
        "apply=1",
        "Apply",
        "",
        "serial",
    };
    for (const char* argument : bad) {
        const driver::Script script = driver::ParseScript({"serial=1234", argument, "apply"});
        EXPECT_NE(script.error, "") << argument;
        EXPECT_TRUE(script.steps.empty()) << argument;
    }
    EXPECT_EQ(driver::ParseScript({}).error, "no steps given");
}

TEST(DriverScript, StepsKeepTheirOrder) {
    const driver::Script script =
        driver::ParseScript({"tab=1", "firmware-path=a.bin", "update-firmware", "box=40"});
    ASSERT_EQ(script.steps.size(), 4u);
    EXPECT_EQ(script.steps[0].kind, Step::Tab);
    EXPECT_EQ(script.steps[1].kind, Step::SetText);
    EXPECT_EQ(script.steps[2].kind, Step::Click);
    EXPECT_EQ(script.steps[3].kind, Step::Box);
}

} // namespace
