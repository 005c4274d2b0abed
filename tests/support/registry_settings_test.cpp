#include "support/registry_settings.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>
#include <cstdio>
#include <cstring>

namespace orvane {
namespace {

// Every test works in a key of its own below HKCU and removes it afterwards.
class RegistrySettingsTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        sub_key_ = L"Software\\OrvaneTests\\" +
                   std::wstring(info->name(), info->name() + std::strlen(info->name())) + L"-" +
                   std::to_wstring(::GetCurrentProcessId());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, sub_key_.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }

    void TearDown() override {
        if (key_) ::RegCloseKey(key_);
        OpenUpKey();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, sub_key_.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, sub_key_.c_str());
        ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\OrvaneTests");
    }

    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(::RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    // Stores exactly these bytes: the A function would add a NUL that
    // follows them, so something else follows them.
    void SetAnsi(const char* name, DWORD type, std::string bytes) {
        const DWORD size = static_cast<DWORD>(bytes.size());
        bytes.push_back('X');
        ASSERT_EQ(::RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                   size),
                  ERROR_SUCCESS);
    }

    // The key's security descriptor grants everyone exactly `rights`.
    void RestrictKeyTo(DWORD rights) {
        EXPLICIT_ACCESSW access{};
        access.grfAccessPermissions = rights;
        access.grfAccessMode = SET_ACCESS;
        access.grfInheritance = NO_INHERITANCE;
        access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
        access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        access.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
        PACL acl = nullptr;
        ASSERT_EQ(::SetEntriesInAclW(1, &access, nullptr, &acl), ERROR_SUCCESS);
        const DWORD result = ::SetSecurityInfo(
            key_, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
            nullptr, nullptr, acl, nullptr);
        ::LocalFree(acl);
        ASSERT_EQ(result, ERROR_SUCCESS);
    }

    // Gives the key back a descriptor that lets the test delete it: the
    // owner may always change the access list.
    void OpenUpKey() {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, sub_key_.c_str(), 0, WRITE_DAC, &key) !=
            ERROR_SUCCESS)
            return;
        ::SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                          nullptr, nullptr);
        ::RegCloseKey(key);
    }

    std::wstring Read(const std::wstring& name, std::wstring start = L"") {
        ReadRegistryValue(HKEY_CURRENT_USER, sub_key_, name, start);
        return start;
    }

    std::wstring sub_key_;
    HKEY key_ = nullptr;
};

TEST_F(RegistrySettingsTest, TextRoundTripsWithAndWithoutTerminatingNul) {
    EXPECT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", L"yes"));
    EXPECT_EQ(Read(L"CloseWhenDone"), L"yes");
    EXPECT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", L"no"));
    EXPECT_EQ(Read(L"CloseWhenDone"), L"no");

    SetAnsi("WithNul", REG_SZ, std::string("yes", 4));
    SetAnsi("NoWithNul", REG_SZ, std::string("no", 3));
    EXPECT_EQ(Read(L"WithNul"), L"yes");
    EXPECT_EQ(Read(L"NoWithNul"), L"no");
    // Only the last NUL goes: one more is part of the text.
    SetAnsi("TwoNuls", REG_SZ, std::string("yes\0", 5));
    EXPECT_EQ(Read(L"TwoNuls"), std::wstring(L"yes\0", 4));

    std::wstring value = L"unchanged";
    EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", value));
    EXPECT_EQ(value, L"no");
}

TEST_F(RegistrySettingsTest, WriteStoresExactlyTheTextBytesAsString) {
    ASSERT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", L"no"));
    DWORD type = REG_NONE;
    char data[16] = {};
    DWORD size = sizeof(data);
    ASSERT_EQ(::RegQueryValueExA(key_, "CloseWhenDone", nullptr, &type,
                                 reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(std::string(data, size), "no");
    // The stored value itself carries no NUL: two UTF-16 units.
    size = 0;
    ASSERT_EQ(::RegQueryValueExW(key_, L"CloseWhenDone", nullptr, &type, nullptr, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
}

TEST_F(RegistrySettingsTest, DwordReadsAsHexOfItsSignificantBytes) {
    const DWORD big = 0x12345678, ten = 10, zero = 0, low = 0x00FF00AB;
    SetRaw(L"Big", REG_DWORD, &big, sizeof(big));
    SetRaw(L"Ten", REG_DWORD, &ten, sizeof(ten));
    SetRaw(L"Zero", REG_DWORD, &zero, sizeof(zero));
    SetRaw(L"Low", REG_DWORD, &low, sizeof(low));
    EXPECT_EQ(Read(L"Big"), L"&h12345678");
    EXPECT_EQ(Read(L"Ten"), L"&h00000A");
    EXPECT_EQ(Read(L"Zero"), L"&h000000");
    EXPECT_EQ(Read(L"Low"), L"&hFF00AB");
}

TEST_F(RegistrySettingsTest, OtherTypesReadTrueAndLeaveTheTextAlone) {
    const wchar_t expand[] = L"%TEMP%";
    const BYTE binary[] = {'y', 'e', 's'};
    SetRaw(L"Expand", REG_EXPAND_SZ, expand, sizeof(expand));
    SetRaw(L"Binary", REG_BINARY, binary, sizeof(binary));
    for (const wchar_t* name : {L"Expand", L"Binary"}) {
        std::wstring value = L"before";
        EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, sub_key_, name, value)) << name;
        EXPECT_EQ(value, L"before") << name;
    }
}

TEST_F(RegistrySettingsTest, MissingKeyOrValueReadsFalseAndWritesNothing) {
    const std::wstring missing = sub_key_ + L"\\Absent";
    std::wstring value = L"before";
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, missing, L"CloseWhenDone", value));
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, sub_key_, L"NoSuchValue", value));
    EXPECT_EQ(value, L"before");

    EXPECT_FALSE(WriteRegistryValue(HKEY_CURRENT_USER, missing, L"CloseWhenDone", L"yes"));
    HKEY created = nullptr;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, &created),
              ERROR_FILE_NOT_FOUND);
    if (created) ::RegCloseKey(created);
}

TEST_F(RegistrySettingsTest, AWriteTheOpenedKeyRefusesIsNoSuccess) {
    // The key opens; the registry refuses the value (a name beyond its
    // 16,383-character limit). The result says so and nothing is stored.
    const std::wstring too_long(20000, L'n');
    EXPECT_FALSE(WriteRegistryValue(HKEY_CURRENT_USER, sub_key_, too_long, L"yes"));
    DWORD values = 1;
    ::RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr);
    EXPECT_EQ(values, 0u);
}

TEST_F(RegistrySettingsTest, DataBeyondTheBufferFailsToRead) {
    SetAnsi("Fits", REG_SZ, std::string(1023, 'a') + '\0');     // 1024 bytes
    SetAnsi("FitsBare", REG_SZ, std::string(1024, 'b'));        // 1024 bytes, no NUL
    SetAnsi("TooLong", REG_SZ, std::string(1024, 'c') + '\0');  // 1025 bytes
    EXPECT_EQ(Read(L"Fits"), std::wstring(1023, L'a'));
    EXPECT_EQ(Read(L"FitsBare"), std::wstring(1024, L'b'));
    std::wstring value = L"before";
    EXPECT_FALSE(ReadRegistryValue(HKEY_CURRENT_USER, sub_key_, L"TooLong", value));
    EXPECT_EQ(value, L"before");
}

TEST_F(RegistrySettingsTest, KeyTheUserMayOnlyReadStillReads) {
    SetAnsi("CloseWhenDone", REG_SZ, "yes");
    RestrictKeyTo(KEY_READ);
    // Whether the restriction bites: Windows refuses full access to such a
    // key. Wine run as root may grant it anyway; the read must work either way.
    HKEY full = nullptr;
    const LONG full_open =
        ::RegOpenKeyExW(HKEY_CURRENT_USER, sub_key_.c_str(), 0, KEY_ALL_ACCESS, &full);
    if (full) ::RegCloseKey(full);
    if (full_open != ERROR_ACCESS_DENIED) {
        std::printf("note: full access to a read-only key was not refused (%ld)\n", full_open);
    }

    std::wstring value;
    EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", value));
    EXPECT_EQ(value, L"yes");
    if (full_open == ERROR_ACCESS_DENIED) {
        EXPECT_FALSE(WriteRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", L"no"));
    }
}

TEST_F(RegistrySettingsTest, WritesWithTheRightsItHasAlwaysAsked) {
    // Exactly query, set, create-subkey, enumerate, notify and change-access:
    // a key that grants these and nothing else (no delete, no read-control)
    // is still written.
    RestrictKeyTo(0x4001F);
    EXPECT_TRUE(WriteRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", L"yes"));
    std::wstring value;
    EXPECT_TRUE(ReadRegistryValue(HKEY_CURRENT_USER, sub_key_, L"CloseWhenDone", value));
    EXPECT_EQ(value, L"yes");
}

TEST(RegistryDecodeTest, DecodesByTypeAfterTheSingleTrimRule) {
    const BYTE dword[] = {0x0A, 0x00, 0x00, 0x00};
    std::wstring value = L"x";
    // Digits go behind whatever the text held; the prefix in front of all.
    EXPECT_TRUE(DecodeRegistryData(REG_DWORD, dword, 4, value));
    EXPECT_EQ(value, L"&hx00000A");

    value = L"keep";
    EXPECT_TRUE(DecodeRegistryData(REG_SZ, nullptr, 0, value));
    EXPECT_EQ(value, L"");
    const BYTE nul[] = {0};
    value = L"keep";
    EXPECT_TRUE(DecodeRegistryData(REG_SZ, nul, 1, value));
    EXPECT_EQ(value, L"");

    value = L"keep";
    EXPECT_FALSE(DecodeRegistryData(REG_MULTI_SZ, nul, 1, value));
    EXPECT_EQ(value, L"keep");
}

}  // namespace
}  // namespace orvane
