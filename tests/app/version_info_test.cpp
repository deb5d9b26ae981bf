// Reads the built executables' version blocks with the calls behind Windows' file properties, and checks what the
// properties page would show against the version the build was given: the dialog's and the console program's.
#include <windows.h>
#include "expected_texts.h"
#include "host_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string FileNameOf(const std::string& path)
{
    return path.substr(path.find_last_of("/\\") + 1);
}

// The programs of this edition that carry the block, by their build-host paths.
const char* const kPrograms[] = {QUIMBLE_APP_EXE, QUIMBLE_CONSOLE_EXE};

class VersionInfoTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        std::string path = WindowsPathOf(GetParam());
        DWORD ignored = 0;
        block.assign(GetFileVersionInfoSizeA(path.c_str(), &ignored), 0);
        if (!block.empty() && !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
            block.clear();
        ASSERT_FALSE(block.empty()) << "GetFileVersionInfoA(\"" << GetParam() << "\")";
    }

    // The value at a sub-block path, and its length in the units VerQueryValueA counts; nullptr where there is none.
    const void* Query(const std::string& subBlock, UINT* length)
    {
        void* value = nullptr;
        *length = 0;
        return VerQueryValueA(block.data(), subBlock.c_str(), &value, length) ? value : nullptr;
    }

    // A string from the table the first translation names, as the properties page looks it up.
    std::string String(const char* name)
    {
        UINT length = 0;
        const auto* translation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &length));
        if (!translation || length < 2 * sizeof(WORD))
            return "(no translation)";
        char path[64];
        snprintf(path, sizeof path, "\\StringFileInfo\\%04X%04X\\%s", translation[0], translation[1], name);
        const auto* text = static_cast<const char*>(Query(path, &length));
        return text ? std::string(text) : std::string("(no ") + path + ")";
    }

    std::vector<char> block;
};
INSTANTIATE_TEST_SUITE_P(Programs, VersionInfoTest, ::testing::ValuesIn(kPrograms),
                         [](const auto& info) { return std::string(info.index ? "Console" : "Dialog"); });

TEST_P(VersionInfoTest, FixedPartCarriesTheBuildsVersionForAnApplication)
{
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query("\\", &length));
    ASSERT_NE(nullptr, fixed) << "VerQueryValueA(\"\\\")";
    ASSERT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    const DWORD high = MAKELONG(QUIMBLE_VERSION_MINOR, QUIMBLE_VERSION_MAJOR), low = MAKELONG(0, QUIMBLE_VERSION_PATCH);
    EXPECT_EQ(high, fixed->dwFileVersionMS) << "file version, major and minor";
    EXPECT_EQ(low, fixed->dwFileVersionLS) << "file version, patch and build";
    EXPECT_EQ(high, fixed->dwProductVersionMS) << "product version, major and minor";
    EXPECT_EQ(low, fixed->dwProductVersionLS) << "product version, patch and build";
    EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask) << "no debug, pre-release or patched flag";
    EXPECT_EQ(static_cast<DWORD>(VOS_NT_WINDOWS32), fixed->dwFileOS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
}

TEST_P(VersionInfoTest, OneTranslationEnglishAustraliaInCodePage1252)
{
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(Query("\\VarFileInfo\\Translation", &length));
    ASSERT_NE(nullptr, translation) << "VerQueryValueA(\"\\VarFileInfo\\Translation\")";
    ASSERT_EQ(2 * sizeof(WORD), length) << "one language and code page pair";
    EXPECT_EQ(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_AUS), translation[0]);
    EXPECT_EQ(1252, translation[1]);
}

TEST_P(VersionInfoTest, StringsShowProductVersionFileNameAndCopyright)
{
    const std::pair<const char*, std::string> expected[] = {
        {"ProductName", "ASIO Quimble"},     {"FileVersion", QUIMBLE_VERSION},
        {"ProductVersion", QUIMBLE_VERSION}, {"OriginalFilename", FileNameOf(GetParam())},
        {"LegalCopyright", kCopyrightLine},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(value, String(name)) << name;
}

// Task Manager and the properties page show the description, so it alone tells a user which edition runs.
TEST_P(VersionInfoTest, DescriptionNamesThisEditionOnly)
{
    std::string description = String("FileDescription");
    EXPECT_NE(std::string::npos, description.find("ASIO Quimble")) << description;
    EXPECT_NE(std::string::npos, description.find(kEditionName)) << description;
    EXPECT_EQ(std::string::npos, description.find(kOtherEditionName)) << description;
}

}  // namespace
