// Reads the dialog template, icon group and manifest back from the built executable and checks them; the version
// block has its own tests.
#include <windows.h>
#include "expected_texts.h"
#include "host_path.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr WORD kLanguage = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_AUS);
constexpr DWORD kNoId = 0xFFFFFFFF;

// The build names the executable by its path on the build host, which under Wine needs its Windows form.
std::string ExecutablePath()
{
    return WindowsPathOf(QUIMBLE_APP_EXE);
}

// Styles compare as hex text, so a failure shows which bits differ.
std::string Hex(DWORD value)
{
    char text[16];
    snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(value));
    return text;
}

// Reads little-endian fields of a resource; a read past the end yields 0 and is remembered.
class Reader {
public:
    explicit Reader(const std::vector<BYTE>& data) : data_(data) {}
    WORD Word()
    {
        unsigned low = Next();
        return static_cast<WORD>(low | Next() << 8);
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() { return static_cast<BYTE>(Next()); }
    void AlignDword() { pos_ = (pos_ + 3) & ~size_t{3}; }
    size_t Position() const { return pos_; }
    bool Overrun() const { return overrun_; }

    // A zero-terminated UTF-16 string, or 0xFFFF followed by an ordinal, rendered as "#ordinal".
    std::string StringOrOrdinal()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (WORD c = first; c != 0 && !overrun_; c = Word())
            text += c < 0x80 ? static_cast<char>(c) : '?';
        return text;
    }

private:
    unsigned Next()
    {
        if (pos_ >= data_.size()) {
            overrun_ = true;
            return 0;
        }
        return data_[pos_++];
    }
    const std::vector<BYTE>& data_;
    size_t pos_ = 0;
    bool overrun_ = false;
};

class ResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExA(ExecutablePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (module)
            FreeLibrary(module);
        module = nullptr;
    }
    void SetUp() override { ASSERT_NE(nullptr, module) << "LoadLibraryExA(\"" << ExecutablePath() << "\")"; }

    static std::vector<BYTE> Resource(LPCSTR type, WORD id)
    {
        HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), kLanguage);
        if (!found)
            return {};
        HGLOBAL loaded = LoadResource(module, found);
        const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
        if (!bytes)
            return {};
        return std::vector<BYTE>(bytes, bytes + SizeofResource(module, found));
    }

    static HMODULE module;
};
HMODULE ResourcesTest::module = nullptr;

struct Control {
    DWORD id;
    const char* windowClass;
    const char* text;
    short x, y, cx, cy;
    DWORD style, exStyle;
};

const Control kControls[] = {
    {123, "#128", "&<<", 132, 86, 18, 17, 0x50010000, 0},
    {122, "#128", "&>>", 132, 62, 18, 17, 0x50010000, 0},
    {1, "#128", "&OK", 227, 150, 50, 16, 0x50010001, 0},
    {9, "#128", "&Help", 173, 150, 50, 16, 0x50010000, 0},
    {1001, "#130", "quimble.example", 4, 158, 68, 8, 0x50020000, 0},
    // Each label directly before its list, so its mnemonic reaches the list.
    {kNoId, "#130", "&Active Devices", 4, 5, 100, 8, 0x50020000, 0},
    {124, "#131", "", 4, 17, 122, 130, 0x50210903, 0x00020000},
    {kNoId, "#130", "&Disabled Devices", 155, 5, 100, 8, 0x50020000, 0},
    {121, "#131", "", 155, 16, 122, 130, 0x50210903, 0x00020000},
};

TEST_F(ResourcesTest, DialogTemplateMatchesFieldByFieldAndControlByControl)
{
    std::vector<BYTE> bytes = Resource(RT_DIALOG, 101);
    ASSERT_FALSE(bytes.empty()) << "FindResourceExA(RT_DIALOG, 101, 0x0C09)";
    Reader in(bytes);
    EXPECT_EQ(1, in.Word()) << "version";
    EXPECT_EQ(0xFFFF, in.Word()) << "signature of the extended form";
    EXPECT_EQ(0u, in.Dword()) << "help id";
    EXPECT_EQ("0x00040000", Hex(in.Dword())) << "extended style";
    EXPECT_EQ("0x90C800C8", Hex(in.Dword())) << "style";
    WORD count = in.Word();
    EXPECT_EQ(9, count);
    EXPECT_EQ(0, in.Short()) << "x";
    EXPECT_EQ(0, in.Short()) << "y";
    EXPECT_EQ(281, in.Short()) << "width";
    EXPECT_EQ(170, in.Short()) << "height";
    EXPECT_EQ("", in.StringOrOrdinal()) << "menu";
    EXPECT_EQ("", in.StringOrOrdinal()) << "window class";
    EXPECT_EQ(kDialogCaption, in.StringOrOrdinal()) << "caption";
    EXPECT_EQ(8, in.Word()) << "point size";
    EXPECT_EQ(0, in.Word()) << "weight";
    EXPECT_EQ(0, in.Byte()) << "italic";
    EXPECT_EQ(1, in.Byte()) << "character set";
    EXPECT_EQ("MS Shell Dlg", in.StringOrOrdinal()) << "typeface";

    ASSERT_EQ(std::size(kControls), count);
    for (size_t row = 0; row < count; ++row) {
        const Control& want = kControls[row];
        SCOPED_TRACE("control row " + std::to_string(row + 1) + ", id " + std::to_string(static_cast<int>(want.id)));
        in.AlignDword();
        EXPECT_EQ(0u, in.Dword()) << "help id";
        EXPECT_EQ(Hex(want.exStyle), Hex(in.Dword())) << "extended style";
        EXPECT_EQ(Hex(want.style), Hex(in.Dword())) << "style";
        std::tuple<short, short, short, short> rect{in.Short(), in.Short(), in.Short(), in.Short()};
        EXPECT_EQ(std::make_tuple(want.x, want.y, want.cx, want.cy), rect) << "x, y, width, height";
        EXPECT_EQ(want.id, in.Dword()) << "id";
        EXPECT_EQ(want.windowClass, in.StringOrOrdinal()) << "class, as a predefined atom";
        EXPECT_EQ(want.text, in.StringOrOrdinal()) << "text";
        EXPECT_EQ(0, in.Word()) << "creation data size";
    }
    EXPECT_FALSE(in.Overrun()) << "template shorter than its fields";
    in.AlignDword();
    EXPECT_GE(in.Position(), bytes.size()) << "bytes after the last control";
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// The label must show its whole text in the font the system gives the dialog built from the template.
TEST_F(ResourcesTest, LabelTextFitsItsControlInDialogFont)
{
    std::vector<BYTE> bytes = Resource(RT_DIALOG, 101);
    ASSERT_FALSE(bytes.empty());
    auto* dialogTemplate = reinterpret_cast<LPCDLGTEMPLATEA>(bytes.data());
    HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), dialogTemplate, nullptr, QuietDialogProc, 0);
    ASSERT_NE(nullptr, dialog) << "CreateDialogIndirectParamA, error " << GetLastError();

    HWND label = GetDlgItem(dialog, 1001);
    char text[128] = {};
    GetWindowTextA(label, text, sizeof text);
    RECT room = {};
    GetClientRect(label, &room);
    HDC dc = GetDC(label);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    BOOL measured = GetTextExtentPoint32A(dc, text, lstrlenA(text), &extent);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
    DestroyWindow(dialog);

    ASSERT_TRUE(measured) << "GetTextExtentPoint32A(\"" << text << "\")";
    EXPECT_LE(extent.cx, room.right) << "label text width in the dialog font";
    EXPECT_LE(extent.cy, room.bottom) << "label text height in the dialog font";
}

TEST_F(ResourcesTest, IconGroupHoldsNineImagesBySizeWithinDepth)
{
    std::vector<BYTE> group = Resource(RT_GROUP_ICON, 100);
    ASSERT_FALSE(group.empty()) << "FindResourceExA(RT_GROUP_ICON, 100, 0x0C09)";
    Reader in(group);
    EXPECT_EQ(0, in.Word()) << "reserved";
    EXPECT_EQ(1, in.Word()) << "type: icon";
    ASSERT_EQ(9, in.Word()) << "image count";
    const std::pair<int, int> images[] = {{48, 8}, {32, 8}, {16, 8}, {48, 4}, {32, 4},
                                          {16, 4}, {48, 1}, {32, 1}, {16, 1}};
    for (size_t row = 0; row < std::size(images); ++row) {
        auto [size, bits] = images[row];
        SCOPED_TRACE("image row " + std::to_string(row + 1) + ": " + std::to_string(size) + " px, " +
                     std::to_string(bits) + " bpp");
        EXPECT_EQ(size, in.Byte()) << "width";
        EXPECT_EQ(size, in.Byte()) << "height";
        EXPECT_EQ(bits == 8 ? 0 : 1 << bits, in.Byte()) << "colour count";
        in.Byte();
        EXPECT_EQ(1, in.Word()) << "planes";
        EXPECT_EQ(bits, in.Word()) << "bit count";
        DWORD length = in.Dword();
        WORD id = in.Word();

        std::vector<BYTE> image = Resource(RT_ICON, id);
        ASSERT_FALSE(image.empty()) << "FindResourceExA(RT_ICON, " << id << ", 0x0C09)";
        EXPECT_EQ(length, image.size()) << "length in the group";
        ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
        EXPECT_EQ(size, header->biWidth);
        EXPECT_EQ(2 * size, header->biHeight) << "colour bitmap and mask together";
        EXPECT_EQ(bits, header->biBitCount);
        size_t colourRow = (size * bits + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
        size_t paletteBytes = sizeof(RGBQUAD) << bits;
        ASSERT_EQ(sizeof(BITMAPINFOHEADER) + paletteBytes + size * (colourRow + maskRow), image.size());

        // Rows run bottom-up: the first mask row is the bottom one. Corners show the desktop, the middle does not.
        const BYTE* mask = image.data() + sizeof(BITMAPINFOHEADER) + paletteBytes + size * colourRow;
        EXPECT_EQ(0x80, mask[0] & 0x80) << "bottom-left corner masked out";
        int middle = size / 2;
        EXPECT_EQ(0, mask[middle * maskRow + middle / 8] & (0x80 >> middle % 8)) << "centre opaque";
        // A masked pixel is still drawn with XOR, so it must be black to leave the desktop unchanged.
        const BYTE* colours = image.data() + sizeof(BITMAPINFOHEADER) + paletteBytes;
        const auto* palette = reinterpret_cast<const RGBQUAD*>(image.data() + sizeof(BITMAPINFOHEADER));
        RGBQUAD corner = palette[colours[0] >> (8 - bits)];
        EXPECT_EQ(0, corner.rgbRed | corner.rgbGreen | corner.rgbBlue) << "colour of the masked corner";

        HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, size,
                                              size, LR_DEFAULTCOLOR);
        EXPECT_NE(nullptr, icon) << "CreateIconFromResourceEx";
        if (icon)
            DestroyIcon(icon);
    }
}

// One attribute's value in the first element of that name at or after from; a marker text where there is none.
std::string Attribute(const std::string& xml, const std::string& element, const std::string& name, size_t from = 0)
{
    size_t start = xml.find("<" + element, from);
    if (start == std::string::npos)
        return "(no " + element + ")";
    size_t end = xml.find('>', start);
    size_t at = xml.find(" " + name + "=\"", start);
    if (at == std::string::npos || at > end)
        return "(no " + name + ")";
    at += name.size() + 3;
    return xml.substr(at, xml.find('"', at) - at);
}

TEST_F(ResourcesTest, ManifestNamesCommonControls6AndAdministratorLevel)
{
    std::vector<BYTE> bytes = Resource(RT_MANIFEST, 1);
    ASSERT_FALSE(bytes.empty()) << "FindResourceExA(RT_MANIFEST, 1, 0x0C09)";
    std::string xml(bytes.begin(), bytes.end());
    EXPECT_EQ("1.0.0.0", Attribute(xml, "assemblyIdentity", "version"));
    EXPECT_EQ("*", Attribute(xml, "assemblyIdentity", "processorArchitecture"));
    EXPECT_EQ("win32", Attribute(xml, "assemblyIdentity", "type"));

    size_t dependency = xml.find("<dependentAssembly>");
    ASSERT_NE(std::string::npos, dependency) << xml;
    ASSERT_EQ(std::string::npos, xml.find("<dependentAssembly>", dependency + 1)) << "one dependency only";
    EXPECT_EQ("Microsoft.Windows.Common-Controls", Attribute(xml, "assemblyIdentity", "name", dependency));
    EXPECT_EQ("6.0.0.0", Attribute(xml, "assemblyIdentity", "version", dependency));
    EXPECT_EQ("*", Attribute(xml, "assemblyIdentity", "processorArchitecture", dependency));
    EXPECT_EQ("*", Attribute(xml, "assemblyIdentity", "language", dependency));
    EXPECT_EQ("6595b64144ccf1df", Attribute(xml, "assemblyIdentity", "publicKeyToken", dependency));
    EXPECT_EQ("win32", Attribute(xml, "assemblyIdentity", "type", dependency));
    EXPECT_EQ("requireAdministrator", Attribute(xml, "requestedExecutionLevel", "level"));
    EXPECT_EQ("false", Attribute(xml, "requestedExecutionLevel", "uiAccess"));
}

// The loader's activation context for the program's manifest; INVALID_HANDLE_VALUE when the loader refused it.
class ProgramActivationContext {
public:
    ProgramActivationContext()
    {
        const std::string path = ExecutablePath();
        ACTCTXA request = {};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        request.lpSource = path.c_str();
        request.lpResourceName = MAKEINTRESOURCEA(1);
        handle_ = CreateActCtxA(&request);
    }
    ~ProgramActivationContext()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            ReleaseActCtx(handle_);
    }
    ProgramActivationContext(const ProgramActivationContext&) = delete;
    ProgramActivationContext& operator=(const ProgramActivationContext&) = delete;

    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// The loader's own parser: an activation context is made only from a well-formed manifest whose dependency resolves.
TEST_F(ResourcesTest, ManifestMakesActivationContextAtAdministratorLevel)
{
    ProgramActivationContext context;
    ASSERT_NE(INVALID_HANDLE_VALUE, context.Get()) << "CreateActCtxA, error " << GetLastError();
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    BOOL queried =
        QueryActCtxW(0, context.Get(), nullptr, RunlevelInformationInActivationContext, &level, sizeof level, nullptr);
    ASSERT_TRUE(queried) << "QueryActCtxW(RunlevelInformationInActivationContext), error " << GetLastError();
    EXPECT_EQ(ACTCTX_RUN_LEVEL_REQUIRE_ADMIN, level.RunLevel);
    EXPECT_EQ(0u, level.UiAccess);
}

// The settings as the system reads them through the loader: per-monitor (v2) awareness where Windows 10 knows it,
// per-monitor on Windows 8.1 and system-wide awareness before; and UTF-8 as the code page of the A calls.
TEST_F(ResourcesTest, ManifestDeclaresPerMonitorDpiAwarenessAndTheUtf8CodePage)
{
    ProgramActivationContext context;
    ASSERT_NE(INVALID_HANDLE_VALUE, context.Get()) << "CreateActCtxA, error " << GetLastError();
    struct Setting {
        const wchar_t* nameSpace;
        const wchar_t* name;
        std::wstring value;
    };
    const Setting settings[] = {
        {L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware", L"true/pm"},
        {L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness", L"PerMonitorV2, PerMonitor"},
        {L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage", L"UTF-8"},
    };
    for (const Setting& setting : settings) {
        SCOPED_TRACE(std::string(setting.name, setting.name + wcslen(setting.name)));
        wchar_t value[64] = {};
        SIZE_T written = 0;
        ASSERT_TRUE(
            QueryActCtxSettingsW(0, context.Get(), setting.nameSpace, setting.name, value, std::size(value), &written))
            << "QueryActCtxSettingsW, error " << GetLastError();
        EXPECT_TRUE(setting.value == value) << "a different value, of " << written << " characters";
    }
}

TEST_F(ResourcesTest, ManifestNamesWindows7To11AsSupported)
{
    std::vector<BYTE> bytes = Resource(RT_MANIFEST, 1);
    ASSERT_FALSE(bytes.empty()) << "FindResourceExA(RT_MANIFEST, 1, 0x0C09)";
    const std::string xml(bytes.begin(), bytes.end());
    const size_t compatibility = xml.find("<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">");
    ASSERT_NE(std::string::npos, compatibility) << xml;
    std::set<std::string> ids;
    for (size_t at = xml.find("<supportedOS", compatibility); at != std::string::npos;
         at = xml.find("<supportedOS", at + 1))
        ids.insert(Attribute(xml, "supportedOS", "Id", at));
    const std::set<std::string> expected = {
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
    };
    EXPECT_EQ(expected, ids);
}

using Entry = std::tuple<std::string, std::string, WORD>;

std::string Name(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR entries)
{
    reinterpret_cast<std::set<Entry>*>(entries)->insert({Name(type), Name(name), language});
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR entries)
{
    return EnumResourceLanguagesA(module, type, name, CollectLanguage, entries);
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR entries)
{
    return EnumResourceNamesA(module, type, CollectName, entries);
}

// Every resource in the file, as (type, name, language); a stray one (an editor's leftover, a second manifest
// brought in by the toolchain, a neutral-language copy) shows up here.
TEST_F(ResourcesTest, ExactlyTheseResourcesAllInEnglishAustralia)
{
    std::set<Entry> entries;
    ASSERT_TRUE(EnumResourceTypesA(module, CollectType, reinterpret_cast<LONG_PTR>(&entries)))
        << "EnumResourceTypesA, error " << GetLastError();

    std::set<Entry> expected = {
        {"#5", "#101", kLanguage}, {"#14", "#100", kLanguage}, {"#16", "#1", kLanguage}, {"#24", "#1", kLanguage}};
    std::set<std::string> icons;
    for (const auto& [type, name, language] : entries) {
        if (type == "#3" && language == kLanguage)
            icons.insert(name);
    }
    EXPECT_EQ(9u, icons.size()) << "icon images in English (Australia)";
    for (const std::string& icon : icons)
        expected.insert({"#3", icon, kLanguage});
    EXPECT_EQ(expected, entries);
}

}  // namespace
