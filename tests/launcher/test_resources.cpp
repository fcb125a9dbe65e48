/*
 * The launcher's resources as another program reads them: the version
 * block through the version API, the splash bitmap and the icon group
 * loaded from the file.
 */
#include <gtest/gtest.h>
#include "launcher_driver.h"

#define LANGUAGE_EN_US MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)

TEST(VersionBlock, FixedFields)
{
    std::vector<BYTE> data = VersionData(TestProgramFolder() + LAUNCHER_EXE);
    ASSERT_FALSE(data.empty());

    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", (void **)&fixed, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x0002001Fu);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000005u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x0002001Fu);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000005u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0u);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, (DWORD)VOS_DOS_WINDOWS32);
    EXPECT_EQ(fixed->dwFileType, (DWORD)VFT_APP);
    EXPECT_EQ(fixed->dwFileSubtype, 0u);

    DWORD *translation = NULL;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", (void **)&translation, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(LOWORD(*translation), 0x0409);
    EXPECT_EQ(HIWORD(*translation), 1252);
}

TEST(VersionBlock, Strings)
{
    static const struct { const char *name, *value; } strings[] =
    {
        { "FileDescription", "KELMORA CD-ROM Autorun Program" },
        { "FileVersion", "2.31.005" },
        { "InternalName", "Tarnell" },
        { "OriginalFilename", "Tarnell.exe" },
        { "ProductName", "KELMORA" },
        { "ProductVersion", "2.31.005" },
        { "CompanyName", "Kelmora Software Ltd." },
        { "LegalCopyright", "Copyright (C) 2026 Kelmora Software Ltd. All rights reserved." },
    };
    std::vector<BYTE> data = VersionData(TestProgramFolder() + LAUNCHER_EXE);
    ASSERT_FALSE(data.empty());

    for (const auto &s : strings)
        EXPECT_EQ(VersionString(data, s.name), s.value) << s.name;
}

class Resources : public ::testing::Test
{
protected:
    void SetUp() override
    {
        module = LoadLibraryExA((TestProgramFolder() + LAUNCHER_EXE).c_str(), NULL,
                                LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module);
    }
    void TearDown() override
    {
        FreeLibrary(module);
    }
    HMODULE module = NULL;
};

TEST_F(Resources, SplashBitmap)
{
    HRSRC found = FindResourceExA(module, (LPCSTR)RT_BITMAP, "IDB_TARNELL", LANGUAGE_EN_US);
    ASSERT_TRUE(found);
    EXPECT_EQ(SizeofResource(module, found), 219512u);

    const BITMAPINFOHEADER *header = (const BITMAPINFOHEADER *)LockResource(LoadResource(module, found));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, 590);
    EXPECT_EQ(header->biHeight, 369);
    EXPECT_EQ(header->biBitCount, 8);
    EXPECT_EQ(header->biCompression, (DWORD)BI_RGB);
    EXPECT_EQ(header->biXPelsPerMeter, 2834);
    EXPECT_EQ(header->biYPelsPerMeter, 2834);
    EXPECT_TRUE(header->biClrUsed == 0 || header->biClrUsed == 256);

    /* Loaded with the resource's own size, as the launcher loads it. */
    HBITMAP bitmap = (HBITMAP)LoadImageA(module, "IDB_TARNELL", IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
    ASSERT_TRUE(bitmap);
    BITMAP info;
    ASSERT_EQ(GetObjectA(bitmap, sizeof(info), &info), (int)sizeof(info));
    EXPECT_EQ(info.bmWidth, 590);
    EXPECT_EQ(info.bmHeight, 369);
    DeleteObject(bitmap);
}

TEST_F(Resources, IconGroupServesBothClassIcons)
{
    HRSRC group = FindResourceExA(module, (LPCSTR)RT_GROUP_ICON, "TARNELL", LANGUAGE_EN_US);
    ASSERT_TRUE(group);

    /* One entry: 32 x 32, 16 colours, 1 plane, 4 bits, 744 bytes, icon 1. */
    const BYTE *dir = (const BYTE *)LockResource(LoadResource(module, group));
    ASSERT_TRUE(dir);
    EXPECT_EQ(*(const WORD *)(dir + 4), 1);
    const BYTE *entry = dir + 6;
    EXPECT_EQ(entry[0], 32);
    EXPECT_EQ(entry[1], 32);
    EXPECT_EQ(entry[2], 16);
    EXPECT_EQ(*(const WORD *)(entry + 4), 1);
    EXPECT_EQ(*(const WORD *)(entry + 6), 4);
    EXPECT_EQ(*(const DWORD *)(entry + 8), 744u);
    EXPECT_EQ(*(const WORD *)(entry + 12), 1);

    HRSRC icon = FindResourceExA(module, (LPCSTR)RT_ICON, MAKEINTRESOURCEA(1), LANGUAGE_EN_US);
    ASSERT_TRUE(icon);
    EXPECT_EQ(SizeofResource(module, icon), 744u);

    /* The large and the small class icon both load from the one image. */
    HICON large = (HICON)LoadImageA(module, "TARNELL", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                    GetSystemMetrics(SM_CYICON), 0);
    HICON small = (HICON)LoadImageA(module, "TARNELL", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                    GetSystemMetrics(SM_CYSMICON), 0);
    EXPECT_TRUE(large);
    EXPECT_TRUE(small);
    DestroyIcon(large);
    DestroyIcon(small);

    /* Nothing else: no menu, dialog, string table, accelerators, sounds. */
    EXPECT_FALSE(FindResourceA(module, "TARNELL", (LPCSTR)RT_MENU));
    EXPECT_FALSE(FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_STRING));
}

static std::string FileBytes(const std::string &path, size_t skip)
{
    std::string data = ReadTextFile(path);
    return data.size() >= skip ? data.substr(skip) : std::string();
}

static std::string ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name)
{
    HRSRC found = FindResourceExA(module, type, name, LANGUAGE_EN_US);
    const char *bytes = found ? (const char *)LockResource(LoadResource(module, found)) : NULL;
    return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
}

/* The default build carries the committed art unchanged: the picture is
 * the BMP file without its 14-byte file header, the icon image the ICO
 * file without its 22-byte directory. */
TEST_F(Resources, DefaultBuildCarriesTheCommittedArt)
{
    std::string splash = FileBytes(TestProgramFolder() + "committed-tarnell.bmp", 14);
    std::string icon = FileBytes(TestProgramFolder() + "committed-tarnell.ico", 22);
    ASSERT_EQ(splash.size(), 219512u);
    ASSERT_EQ(icon.size(), 744u);
    EXPECT_TRUE(ResourceBytes(module, (LPCSTR)RT_BITMAP, "IDB_TARNELL") == splash);
    EXPECT_TRUE(ResourceBytes(module, (LPCSTR)RT_ICON, MAKEINTRESOURCEA(1)) == icon);
}
