// The per-user installer from outside, as a user would meet it: msiexec
// installs, upgrades and removes the program, and the installed wizard
// analyses a drive. Each test starts and ends with nothing installed; they run
// in a Wine prefix of their own, so no other test sees an installed copy.
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <filesystem>

#include "automation.h"
#include "orvane/components.h"
#include "package_support.h"
#include "wizard/control_ids.h"

namespace orvane::packaging {
namespace {

using blackbox::HostPathToWindows;
using blackbox::Narrow;
using blackbox::Widen;
using ::testing::ElementsAre;

const wchar_t kUpgradeCode[] = L"{" ORVANE_UPGRADE_CODE_TEXT L"}";

std::wstring Package() { return HostPathToWindows(ORVANE_MSI_PATH); }
std::wstring OlderPackage() { return HostPathToWindows(ORVANE_OLDER_MSI_PATH); }

std::wstring LocalAppData() { return KnownFolder(FOLDERID_LocalAppData); }
std::wstring InstallFolder() { return LocalAppData() + L"\\Programs\\Orvane Analyzer"; }
std::wstring ReportsFolder() { return LocalAppData() + L"\\Mevrak\\Orvane Analyzer\\Reports"; }
std::wstring ProgramLink() { return KnownFolder(FOLDERID_Programs) + L"\\Orvane Analyzer.lnk"; }
std::wstring ReportsLink() {
    return KnownFolder(FOLDERID_Programs) + L"\\Orvane Analyzer Reports.lnk";
}

// Paths compared as Windows does: case-blind, with or without a final "\".
std::wstring Normalised(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    std::transform(path.begin(), path.end(), path.begin(), ::towlower);
    return path;
}

std::wstring OnlyProduct() {
    const auto products = InstalledProducts(kUpgradeCode);
    return products.size() == 1 ? products.front() : std::wstring();
}

// A property of the package's Property table; nothing if it has no such row.
std::optional<std::wstring> PackageProperty(const std::wstring& package, const wchar_t* name) {
    MSIHANDLE database = 0, view = 0, record = 0;
    std::optional<std::wstring> value;
    const std::wstring query =
        L"SELECT `Value` FROM `Property` WHERE `Property` = '" + std::wstring(name) + L"'";
    if (::MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS &&
        ::MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS &&
        ::MsiViewExecute(view, 0) == ERROR_SUCCESS &&
        ::MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t text[256] = {};
        DWORD size = 256;
        if (::MsiRecordGetStringW(record, 1, text, &size) == ERROR_SUCCESS) value = text;
    }
    for (MSIHANDLE handle : {record, view, database}) {
        if (handle) ::MsiCloseHandle(handle);
    }
    return value;
}

// The package's summary word count: bit 3 set means it installs without
// elevated rights.
std::optional<int> PackageWordCount(const std::wstring& package) {
    MSIHANDLE summary = 0;
    if (::MsiGetSummaryInformationW(0, package.c_str(), 0, &summary) != ERROR_SUCCESS)
        return std::nullopt;
    UINT type = 0;
    INT value = 0;
    FILETIME time{};
    DWORD size = 0;
    const UINT status = ::MsiSummaryInfoGetPropertyW(summary, PIDSI_WORDCOUNT, &type, &value, &time,
                                                     nullptr, &size);
    ::MsiCloseHandle(summary);
    if (status != ERROR_SUCCESS || type != VT_I4) return std::nullopt;
    return value;
}

bool ClassRegistered(const char* clsid) {
    const std::wstring key = L"CLSID\\" + Widen(clsid);
    for (const auto& [root, path] : {std::pair{HKEY_CLASSES_ROOT, key},
                                     std::pair{HKEY_CURRENT_USER, L"Software\\Classes\\" + key}}) {
        HKEY opened = nullptr;
        if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
            ::RegCloseKey(opened);
            return true;
        }
    }
    return false;
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        // The set-up wipes the settings key and the reports: only ever in the
        // prefix kept for these tests.
        if (blackbox::EnvironmentValue(L"ORVANE_INSTALL_PREFIX").empty())
            GTEST_SKIP() << "runs only in the installer tests' own prefix (ORVANE_INSTALL_PREFIX)";
        ASSERT_TRUE(RemoveAllInstallations(kUpgradeCode)) << "an earlier installation stays";
        // This prefix is the installer tests' own: what a run left behind goes.
        std::error_code ignored;
        std::filesystem::remove_all(LocalAppData() + L"\\Mevrak", ignored);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Mevrak");
    }
    void TearDown() override { RemoveAllInstallations(kUpgradeCode); }

    static void Install(const std::wstring& package) {
        const auto code = InstallQuietly(package);
        ASSERT_TRUE(code.has_value()) << "msiexec did not end";
        ASSERT_EQ(0u, *code) << "msiexec /i " << Narrow(package);
    }
};

TEST_F(Installer, InstallsForTheUserOnlyWithBothShortcutsAndNoComRegistration) {
    // Per-user: no ALLUSERS, and Windows is told that no elevation is needed.
    // Wine never asks for elevation, so the package's own word is checked.
    EXPECT_EQ(std::nullopt, PackageProperty(Package(), L"ALLUSERS"));
    const auto wordCount = PackageWordCount(Package());
    ASSERT_TRUE(wordCount.has_value());
    EXPECT_TRUE(*wordCount & 8) << "word count " << *wordCount;

    Install(Package());
    EXPECT_THAT(FolderEntries(InstallFolder()),
                ElementsAre(L"AnalysisEngine.dll", L"OrvaneAnalyzer.exe", L"Styleman.dll",
                            L"orvane-scan.exe"));
    const auto program = ReadShortcut(ProgramLink());
    ASSERT_TRUE(program.has_value()) << "no Start-menu entry for the program";
    EXPECT_EQ(Normalised(InstallFolder() + L"\\OrvaneAnalyzer.exe"), Normalised(program->target));
    EXPECT_EQ(Normalised(InstallFolder()), Normalised(program->workingFolder));
    // Before any analysis the reports entry opens the (empty) reports folder.
    const auto reports = ReadShortcut(ReportsLink());
    ASSERT_TRUE(reports.has_value()) << "no Start-menu entry for the reports";
    EXPECT_EQ(Normalised(ReportsFolder()), Normalised(reports->target));
    EXPECT_TRUE(FolderExists(ReportsFolder()));
    EXPECT_TRUE(FolderEntries(ReportsFolder()).empty());

    // What Apps & features shows.
    const std::wstring product = OnlyProduct();
    ASSERT_FALSE(product.empty());
    EXPECT_EQ(L"Orvane Analyzer", ProductInfo(product, INSTALLPROPERTY_PRODUCTNAME));
    EXPECT_EQ(L"Mevrak", ProductInfo(product, INSTALLPROPERTY_PUBLISHER));
    EXPECT_EQ(Widen(ORVANE_VERSION), ProductInfo(product, INSTALLPROPERTY_VERSIONSTRING));
    EXPECT_TRUE(FileExists(ProductInfo(product, INSTALLPROPERTY_PRODUCTICON)))
        << "icon " << Narrow(ProductInfo(product, INSTALLPROPERTY_PRODUCTICON));

    // The components stay registration-free.
    EXPECT_FALSE(ClassRegistered(ORVANE_CLSID_STYLEMAN_TEXT));
    EXPECT_FALSE(ClassRegistered(ORVANE_CLSID_ANALYSISENGINE_TEXT));
    // The settings key exists from now on, so the program can keep its one
    // setting (it never creates the key itself).
    EXPECT_TRUE(blackbox::SettingsKey().Exists());
}

TEST_F(Installer, InstalledWizardStartsFromItsShortcutAndAnalysesADrive) {
    if (blackbox::EnvironmentValue(L"ORVANE_TESTDRIVES").empty())
        GTEST_SKIP() << "needs the drive D: of ./orvane test";
    Install(Package());
    const auto link = ReadShortcut(ProgramLink());
    ASSERT_TRUE(link.has_value());
    const auto process = blackbox::Process::Start(link->target, link->workingFolder, {});
    ASSERT_TRUE(process.has_value()) << "cannot start " << Narrow(link->target);
    const HWND wizard = WaitForReadyWizard(*process);
    ASSERT_NE(nullptr, wizard) << blackbox::DescribeWindows(process->id());
    ASSERT_TRUE(CheckOnlyDrive(wizard, *process, L'D'));

    blackbox::Click(blackbox::FindControl(wizard, ids::cmdNext));
    const HWND cancel = blackbox::FindControl(wizard, ids::cmdCancel);
    ASSERT_TRUE(blackbox::WaitUntil([&] { return blackbox::Text(cancel) == L"Finish"; }))
        << "the run did not finish";
    blackbox::SaveScreenshot(L"packaging-installed-wizard-finished", blackbox::WindowRect(wizard));
    const auto written = FolderEntries(ReportsFolder());
    EXPECT_EQ(1, std::count_if(written.begin(), written.end(),
                               [](const std::wstring& name) {
                                   return name.rfind(L"D-", 0) == 0 && name.size() > 5 &&
                                          name.compare(name.size() - 5, 5, L".json") == 0;
                               }))
        << "reports: " << written.size();

    blackbox::Click(cancel);
    const auto code = process->WaitForExit();
    ASSERT_TRUE(code.has_value()) << "Finish did not end the program";
    EXPECT_EQ(0u, *code);
}

TEST_F(Installer, UpgradeReplacesAnOlderVersionAndIsNeverUndone) {
    Install(OlderPackage());
    ASSERT_EQ(Widen(ORVANE_OLDER_VERSION),
              ProductInfo(OnlyProduct(), INSTALLPROPERTY_VERSIONSTRING));

    Install(Package());
    const auto products = InstalledProducts(kUpgradeCode);
    ASSERT_EQ(1u, products.size()) << "the older installation stayed beside the newer one";
    EXPECT_EQ(Widen(ORVANE_VERSION), ProductInfo(products.front(), INSTALLPROPERTY_VERSIONSTRING));
    EXPECT_TRUE(FileExists(InstallFolder() + L"\\OrvaneAnalyzer.exe"));
    EXPECT_TRUE(ReadShortcut(ProgramLink()).has_value());
    EXPECT_TRUE(ReadShortcut(ReportsLink()).has_value());

    // The older package refuses to replace the newer installation.
    const auto code = InstallQuietly(OlderPackage());
    ASSERT_TRUE(code.has_value());
    EXPECT_NE(0u, *code);
    EXPECT_EQ(Widen(ORVANE_VERSION), ProductInfo(OnlyProduct(), INSTALLPROPERTY_VERSIONSTRING));
}

TEST_F(Installer, UninstallRemovesTheProgramAndKeepsTheUsersReportsAndSetting) {
    // Nothing of the user's yet: nothing of the program stays.
    Install(Package());
    ASSERT_EQ(0u, UninstallQuietly(OnlyProduct()).value_or(1));
    EXPECT_FALSE(FolderExists(InstallFolder()));
    EXPECT_FALSE(FolderExists(LocalAppData() + L"\\Mevrak"));

    // With a report and a stored setting, both outlive the program.
    Install(Package());
    const std::wstring report = ReportsFolder() + L"\\D-20260101-120000.json";
    ASSERT_TRUE(WriteTextFile(report, "{}"));
    blackbox::SettingsKey settings;
    settings.StoreText("CloseWhenDone", "yes");

    ASSERT_EQ(0u, UninstallQuietly(OnlyProduct()).value_or(1));
    EXPECT_TRUE(InstalledProducts(kUpgradeCode).empty());
    EXPECT_FALSE(FolderExists(InstallFolder()));
    EXPECT_FALSE(FileExists(ProgramLink()));
    EXPECT_FALSE(FileExists(ReportsLink()));
    EXPECT_TRUE(FileExists(report));
    const auto stored = settings.Stored("CloseWhenDone");
    ASSERT_TRUE(stored.has_value()) << "the setting went with the program";
    EXPECT_STREQ("yes", stored->second.c_str());
}

}  // namespace
}  // namespace orvane::packaging
