// This exe links the program's own resource script, so it carries the same
// version resource as Veltrano.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "resources/resource.h"
#include "settings/Startup.h"

namespace {

TEST(VersionResource, TitleAndTipComeFromTheExe) {
    const ProgramVersion v = RunningProgramVersion();
    EXPECT_EQ(v, (ProgramVersion{"Korvane Veltrano", 1, 2, 44}));
    EXPECT_EQ(BuildTitleText(v), "Korvane Veltrano v.1.2   (build 44)");
}

TEST(VersionResource, FilesWithoutOneGiveNothing) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string plain = std::string(temp) + "veltrano-no-version.txt";
    std::ofstream(plain) << "no resource here\r\n";
    EXPECT_FALSE(ReadProgramVersion(plain).has_value());
    DeleteFileA(plain.c_str());
    EXPECT_FALSE(ReadProgramVersion(std::string(temp) + "veltrano-missing.exe").has_value());
}

TEST(Resources, IconSizesAndPictureAreInTheExe) {
    const HINSTANCE self = GetModuleHandleA(nullptr);
    for (int size : {16, 32}) {
        HICON icon = static_cast<HICON>(
            LoadImageA(self, MAKEINTRESOURCEA(IDI_VELTRANO), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        ASSERT_TRUE(icon) << size;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectA(info.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    HBITMAP image1 = static_cast<HBITMAP>(LoadImageA(self, MAKEINTRESOURCEA(IDB_IMAGE1), IMAGE_BITMAP, 0, 0, 0));
    ASSERT_TRUE(image1);
    BITMAP bm{};
    GetObjectA(image1, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 150);
    EXPECT_EQ(bm.bmHeight, 144);
    DeleteObject(image1);
}

}  // namespace
