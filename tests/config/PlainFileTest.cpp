// Which paths the key map is read from: only plain files, never a device
// behind a reserved name, a folder or a pattern.

#include "plugin/config/PlainFile.h"

#include "common/win/AnsiText.h"
#include "tests/support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

struct NameCase {
    const char* path;
    bool device;
};

class PathNames : public testing::TestWithParam<NameCase> {};

TEST_P(PathNames, NameADeviceOrPatternWhateverTheFolderAndExtension)
{
    EXPECT_EQ(IsDeviceNameOrPattern(win::AnsiToWide(GetParam().path)), GetParam().device) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PathNames,
    testing::Values(NameCase{"COM1", true}, NameCase{"com1.cfg", true}, NameCase{"COM9.CFG", true},
                    NameCase{"LPT1", true}, NameCase{"lpt9.cfg", true}, NameCase{"NUL", true},
                    NameCase{"nul.tar.gz", true}, NameCase{"AUX.cfg", true}, NameCase{"Con", true},
                    NameCase{"PRN.cfg", true}, NameCase{"CONIN$", true}, NameCase{"conout$.cfg", true},
                    NameCase{"COM1 .cfg", true}, NameCase{"COM1:", true}, NameCase{"C:NUL", true},
                    NameCase{"C:\\host\\plugins\\COM1.cfg", true}, NameCase{"C:/host/plugins/nul", true},
                    NameCase{"..\\CON", true}, NameCase{"\\\\.\\COM1", true},
                    NameCase{"\\\\.\\pipe\\remote", true}, NameCase{"//./PhysicalDrive0", true},
                    NameCase{"\\\\?\\C:\\host\\COM1.cfg", true}, NameCase{"*.cfg", true},
                    NameCase{"Remote.?fg", true}, NameCase{"C:\\*\\Remote.cfg", true}));

INSTANTIATE_TEST_SUITE_P(
    Files, PathNames,
    testing::Values(NameCase{"Remote.cfg", false}, NameCase{"C:\\host\\plugins\\PelcatoPCIDVD.cfg", false},
                    NameCase{"COM10.cfg", false}, NameCase{"COM0", false}, NameCase{"COM.cfg", false},
                    NameCase{"LPTX.cfg", false}, NameCase{"CONSOLE.cfg", false}, NameCase{"NULL", false},
                    NameCase{"xCOM1.cfg", false}, NameCase{"COM1x.cfg", false}, NameCase{"My CON.cfg", false},
                    NameCase{"C:\\COM1\\Remote.cfg", false}, NameCase{"\\\\?\\C:\\host\\Remote.cfg", false},
                    NameCase{"\\\\server\\share\\Remote.cfg", false}, NameCase{"", false}));

TEST(PlainFile, IsAnExistingFileButNoFolderDeviceOrPattern)
{
    ScratchFolder folder(L"plain-file-test");
    folder.Write(L"Remote.cfg", "[Keys]\n");
    folder.MakeFolder(L"Folder.cfg");

    struct Case {
        std::wstring path;
        bool plain;
    };
    for (const Case& c : {Case{folder.PathOf(L"Remote.cfg"), true}, Case{folder.PathOf(L"Folder.cfg"), false},
                          Case{folder.PathOf(L"Missing.cfg"), false}, Case{folder.PathOf(L"*.cfg"), false},
                          Case{folder.PathOf(L"Remote.cf?"), false}, Case{folder.PathOf(L"COM1.cfg"), false},
                          Case{folder.PathOf(L"NUL"), false}, Case{L"\\\\.\\pipe\\remote", false},
                          Case{folder.PathOf(std::wstring(MAX_PATH, L'x')), false}})
        EXPECT_EQ(IsPlainFile(c.path), c.plain) << testing::PrintToString(c.path);
}

}  // namespace
