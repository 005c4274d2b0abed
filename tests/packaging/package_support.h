// What the package tests need beyond the automation library: running
// msiexec, asking Windows Installer what it has installed, the user's
// folders, Start-menu shortcuts, and the wizard of a program started from an
// installed or unpacked folder.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <optional>
#include <string>
#include <vector>

#include "automation.h"

namespace orvane::packaging {

// Runs a command line and waits for it; its exit code, or nothing when it
// could not be started or did not end within the timeout.
std::optional<DWORD> RunAndWait(const std::wstring& commandLine,
                                blackbox::milliseconds timeout = blackbox::milliseconds(120000));

// msiexec /i PACKAGE /qn, and msiexec /x PRODUCT /qn.
std::optional<DWORD> InstallQuietly(const std::wstring& package);
std::optional<DWORD> UninstallQuietly(const std::wstring& productCode);

// The installed products of the upgrade code, as product codes.
std::vector<std::wstring> InstalledProducts(const std::wstring& upgradeCode);
// A product's installed property (INSTALLPROPERTY_*); empty if unknown.
std::wstring ProductInfo(const std::wstring& productCode, const wchar_t* property);
// Uninstalls every product of the upgrade code; false if one stays.
bool RemoveAllInstallations(const std::wstring& upgradeCode);

// A known folder of the current user (FOLDERID_*), without a trailing
// backslash.
std::wstring KnownFolder(REFKNOWNFOLDERID id);
bool FileExists(const std::wstring& path);
bool FolderExists(const std::wstring& path);
bool WriteTextFile(const std::wstring& path, const std::string& text);
// The names of the entries of a folder, sorted.
std::vector<std::wstring> FolderEntries(const std::wstring& folder);

// What a shell link points at; nothing if it cannot be read.
struct Shortcut {
    std::wstring target;
    std::wstring workingFolder;
};
std::optional<Shortcut> ReadShortcut(const std::wstring& linkFile);

// The wizard of a program started with the product's own components, once
// start-up has finished (list filled, "Next >" enabled, back in its message
// loop); null after the automation library's patience.
HWND WaitForReadyWizard(const blackbox::Process& process);
// Checks exactly the drive with that letter in the wizard's drive list.
bool CheckOnlyDrive(HWND wizard, const blackbox::Process& process, wchar_t letter);

}  // namespace orvane::packaging
