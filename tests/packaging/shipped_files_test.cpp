// The portable zip from outside: unpacked (by the test set-up, as a user's
// Extract All would) it is a folder that runs, and its files carry the
// project's version, the product's names and the program's icon.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation.h"
#include "package_support.h"

namespace orvane::packaging {
namespace {

using blackbox::Narrow;
using blackbox::Widen;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

std::wstring UnpackedFolder() { return blackbox::HostPathToWindows(ORVANE_UNPACKED_FOLDER); }

TEST(PortableZip, UnpacksToAFolderWhoseProgramRuns) {
    EXPECT_THAT(FolderEntries(UnpackedFolder()),
                ElementsAre(L"AnalysisEngine.dll", L"OrvaneAnalyzer.exe", L"README.txt",
                            L"Styleman.dll", L"orvane-scan.exe"));
    const auto process =
        blackbox::Process::Start(UnpackedFolder() + L"\\OrvaneAnalyzer.exe", UnpackedFolder(), {});
    ASSERT_TRUE(process.has_value());
    // Both components are found beside the exe: start-up ends without an
    // error report.
    const HWND wizard = WaitForReadyWizard(*process);
    ASSERT_NE(nullptr, wizard) << blackbox::DescribeWindows(process->id());
    EXPECT_TRUE(blackbox::MessageBoxes(process->id()).empty());
    blackbox::CloseWithCloseBox(wizard);
    const auto code = process->WaitForExit();
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
}

struct VersionInfo {
    DWORD fileMs = 0, fileLs = 0, productMs = 0, productLs = 0, type = 0;
    std::wstring company, product, description, fileVersion, productVersion, originalName;
};

std::optional<VersionInfo> ReadVersionInfo(const std::wstring& file) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> data(size);
    if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return std::nullopt;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length))
        return std::nullopt;
    VersionInfo info;
    info.fileMs = fixed->dwFileVersionMS;
    info.fileLs = fixed->dwFileVersionLS;
    info.productMs = fixed->dwProductVersionMS;
    info.productLs = fixed->dwProductVersionLS;
    info.type = fixed->dwFileType;
    auto text = [&](const wchar_t* name) {
        wchar_t* value = nullptr;
        UINT chars = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        return ::VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value),
                                &chars) &&
                       value
                   ? std::wstring(value)
                   : std::wstring();
    };
    info.company = text(L"CompanyName");
    info.product = text(L"ProductName");
    info.description = text(L"FileDescription");
    info.fileVersion = text(L"FileVersion");
    info.productVersion = text(L"ProductVersion");
    info.originalName = text(L"OriginalFilename");
    return info;
}

TEST(ShippedFiles, EachCarriesTheProjectVersionAndTheProductsNames) {
    const DWORD ms = MAKELONG(ORVANE_VERSION_MINOR, ORVANE_VERSION_MAJOR);
    const DWORD ls = MAKELONG(0, ORVANE_VERSION_PATCH);
    std::vector<std::wstring> descriptions;
    for (const wchar_t* name :
         {L"OrvaneAnalyzer.exe", L"Styleman.dll", L"AnalysisEngine.dll", L"orvane-scan.exe"}) {
        SCOPED_TRACE(Narrow(name));
        const auto info = ReadVersionInfo(UnpackedFolder() + L"\\" + name);
        ASSERT_TRUE(info.has_value()) << "no version resource";
        EXPECT_EQ(ms, info->fileMs);
        EXPECT_EQ(ls, info->fileLs);
        EXPECT_EQ(ms, info->productMs);
        EXPECT_EQ(ls, info->productLs);
        const bool dll = std::wstring(name).ends_with(L".dll");
        EXPECT_EQ(dll ? DWORD{VFT_DLL} : DWORD{VFT_APP}, info->type);
        EXPECT_EQ(L"Mevrak", info->company);
        EXPECT_EQ(L"Orvane Analyzer", info->product);
        EXPECT_EQ(Widen(ORVANE_VERSION), info->fileVersion);
        EXPECT_EQ(Widen(ORVANE_VERSION), info->productVersion);
        EXPECT_EQ(name, info->originalName);
        descriptions.push_back(info->description);
    }
    // Explorer tells the four apart by their descriptions.
    EXPECT_THAT(descriptions,
                UnorderedElementsAre(L"Orvane Analyzer", L"Orvane Analyzer style manager",
                                     L"Orvane Analyzer analysis engine",
                                     L"Orvane Analyzer command-line scanner"));
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct IconGroupHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

// The sizes of the first icon group: the one Explorer shows for the exe.
std::vector<int> FirstIconSizes(HMODULE module) {
    HRSRC found = nullptr;
    ::EnumResourceNamesW(
        module, RT_GROUP_ICON,
        [](HMODULE m, LPCWSTR, LPWSTR name, LONG_PTR context) -> BOOL {
            *reinterpret_cast<HRSRC*>(context) = ::FindResourceW(m, name, RT_GROUP_ICON);
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    std::vector<int> sizes;
    if (!found) return sizes;
    const auto* header =
        static_cast<const IconGroupHeader*>(::LockResource(::LoadResource(module, found)));
    const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
    for (WORD i = 0; i < header->count; ++i)
        sizes.push_back(entries[i].width == 0 ? 256 : entries[i].width);
    return sizes;
}

std::string ManifestText(HMODULE module) {
    const HRSRC found = ::FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    if (!found) return {};
    return std::string(static_cast<const char*>(::LockResource(::LoadResource(module, found))),
                       ::SizeofResource(module, found));
}

TEST(ShippedFiles, ProgramCarriesItsIconInEverySizeAndItsVersionInTheManifest) {
    const std::wstring exe = UnpackedFolder() + L"\\OrvaneAnalyzer.exe";
    const HMODULE module = ::LoadLibraryExW(
        exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, module);
    EXPECT_THAT(FirstIconSizes(module), UnorderedElementsAre(16, 24, 32, 48, 256));
    // Each size loads as an icon of that size.
    for (int size : {16, 24, 32, 48, 256}) {
        const HICON icon = static_cast<HICON>(
            ::LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        EXPECT_NE(nullptr, icon) << size;
        if (icon) ::DestroyIcon(icon);
    }
    EXPECT_NE(std::string::npos, ManifestText(module).find("version=\"" ORVANE_VERSION ".0\""));
    ::FreeLibrary(module);
}

}  // namespace
}  // namespace orvane::packaging
