#include "station/automation_switches.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kv {
namespace {

struct SwitchCase {
    const char* commandLine;
    bool autoExecute, autoExecuteQuit, captureAppImage, singleExecuteResult, timer;
};

const SwitchCase kCases[] = {
    {"/opt/station/kvstation", false, false, false, false, false},
    {"/opt/station/kvstation AutoExecute", true, false, false, false, true},
    {"/opt/station/kvstation AutoExecuteQuit", true, true, false, false, true},
    {"/opt/station/kvstation AutoExecute AutoExecuteQuit", true, true, false, false, true},
    {"/opt/station/kvstation autoexecute AUTOEXECUTE", false, false, false, false, false},
    {"/srv/AutoExecuteLine/kvstation", true, false, false, false, true},
    {"/opt/kvstation --mode=xCaptureAppImagex SingleExecuteResult", false, false, true, true,
     false},
    {"/opt/kvstation -AutoExecuteQuit/CaptureAppImage", true, true, true, false, true},
};

class AutomationSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(AutomationSwitches, PlainCaseSensitiveSubstrings) {
    const SwitchCase& c = GetParam();
    auto ap = std::make_unique<AP_GOLBAL>();
    EXPECT_EQ(ReadAutomationSwitches(c.commandLine, *ap), c.timer);
    EXPECT_EQ(ap->AutoExecute, c.autoExecute);
    EXPECT_EQ(ap->AutoExecuteQuit, c.autoExecuteQuit);
    EXPECT_EQ(ap->CaptureAppImage, c.captureAppImage);
    EXPECT_EQ(ap->SingleExecuteResult, c.singleExecuteResult);
}

INSTANTIATE_TEST_SUITE_P(CommandLines, AutomationSwitches, ::testing::ValuesIn(kCases));

TEST(AutomationCommandLine, JoinsTheProgramPathAndArguments) {
    const char* argv[] = {"/srv/line/kvstation-cli", "--dir", "st", "run", "SingleExecuteResult"};
    const std::string line = CommandLineText(5, argv);
    EXPECT_EQ(line, "/srv/line/kvstation-cli --dir st run SingleExecuteResult");
    auto ap = std::make_unique<AP_GOLBAL>();
    EXPECT_FALSE(ReadAutomationSwitches(line, *ap));
    EXPECT_TRUE(ap->SingleExecuteResult);
}

}  // namespace
}  // namespace kv
