// The names the Windows file writer refuses before touching the disk: a rule
// on text, checked on every system.
#include <gtest/gtest.h>

#include "core/io/WindowsNames.h"

namespace {

struct NameRow {
    const char* name;
    const char* path;
    const char* says;   // empty: Windows takes it
};

class WindowsNames : public ::testing::TestWithParam<NameRow> {};

TEST_P(WindowsNames, RefusedWithTheReason) {
    const std::string why = kv::windowsNameProblem(GetParam().path);
    if (*GetParam().says == '\0') EXPECT_EQ(why, "") << GetParam().path;
    else EXPECT_NE(why.find(GetParam().says), std::string::npos) << GetParam().path << ": " << why;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowsNames,
    ::testing::Values(NameRow{"Plain", "C:\\Users\\me\\run 1.AsmDat", ""},
                      NameRow{"ForwardSlashes", "C:/data/run.txt", ""},
                      NameRow{"Relative", "..\\out\\.\\run.txt", ""},
                      NameRow{"Share", "\\\\server\\share$\\run.txt", ""},
                      NameRow{"DeviceLookalikes", "CONSOLE.txt\\COM10\\LPT10.log\\con1", ""},
                      NameRow{"Device", "C:\\data\\CON", "\"CON\" is a name Windows keeps for a device."},
                      NameRow{"DeviceAnyCase", "aux.txt", "\"aux.txt\" is a name Windows keeps for a device."},
                      NameRow{"DeviceBeforeBlanks", "nul .txt", "keeps for a device"},
                      NameRow{"PortDevice", "out\\com3.log", "keeps for a device"},
                      NameRow{"DeviceAsFolder", "lpt1\\run.txt", "keeps for a device"},
                      NameRow{"Colon", "a:b", "\"a:b\" holds a character Windows does not allow in a name (:)."},
                      NameRow{"ColonAfterDrive", "C:\\x:y.txt", "(:)"},
                      NameRow{"Question", "run?.txt", "(?)"},
                      NameRow{"ControlCharacter", "run\t1.txt", "(a control character)"},
                      NameRow{"TrailingDot", "run.", "\"run.\" ends with a dot or a blank"},
                      NameRow{"TrailingBlankFolder", "data \\run.txt", "\"data \" ends with a dot or a blank"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
