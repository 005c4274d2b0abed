// Page switching, Cancel/Finish, the close box and the close-when-done box,
// with fake components standing in for the real ones.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/mMain.h"
#include "inproc_support.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

using testing::BoxAnswerer;
using testing::FakeEngine;
using testing::FakeStyleman;
using testing::ScopedSettingsKey;

class WizardPages : public ::testing::Test {
protected:
    void SetUp() override { testing::StartWizard(form, fakes); }
    void TearDown() override { form.Unload(); }
    int ShownPages() const {
        return (::GetWindowLongPtrW(form.frmDrives.hWnd(), GWL_STYLE) & WS_VISIBLE ? 1 : 0) +
               (::GetWindowLongPtrW(form.frmProgress.hWnd(), GWL_STYLE) & WS_VISIBLE ? 1 : 0);
    }
    HWND FrontChild() const { return ::GetWindow(form.hwnd(), GW_CHILD); }

    testing::InstalledFakes fakes;
    FakeStyleman* const styleman = fakes.styleman;
    FakeEngine* const engine = fakes.engine;
    frmWizard form;
};

TEST_F(WizardPages, ShowPageShowsOnePageBehindBannerRowAndButtons) {
    for (int round = 0; round < 2; ++round) {
        form.ShowPage(form.frmProgress, form.frmDrives);
        EXPECT_EQ(ShownPages(), 1);
        EXPECT_TRUE(::IsWindowVisible(form.frmProgress.hWnd()));
        form.ShowPage(form.frmDrives, form.frmProgress);
        EXPECT_EQ(ShownPages(), 1);
        EXPECT_TRUE(::IsWindowVisible(form.frmDrives.hWnd()));
    }
    std::vector<HWND> order;
    for (HWND c = FrontChild(); c; c = ::GetWindow(c, GW_HWNDNEXT)) order.push_back(c);
    ASSERT_GE(order.size(), 5u);
    EXPECT_EQ(order[0], form.cmdNext.hWnd());
    EXPECT_EQ(order[1], form.cmdCancel.hWnd());
    EXPECT_EQ(order[2], form.frmBar.hWnd());
    EXPECT_EQ(order[3], form.frmTop.hWnd());
    EXPECT_EQ(order[4], form.frmDrives.hWnd());
}

TEST_F(WizardPages, CancelAnsweredNoChangesNothing) {
    {
        BoxAnswerer answerer({IDNO});
        form.cmdCancel_Click();
        const auto boxes = answerer.Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, L"Orvane Analyzer");
        EXPECT_EQ(boxes[0].text, L"Are you sure you want to cancel the Orvane Analyzer process?");
        EXPECT_EQ(boxes[0].owner, form.hwnd());
    }
    EXPECT_TRUE(form.IsLoaded());
    EXPECT_FALSE(form.bCancelled);
    EXPECT_TRUE(::IsWindowVisible(form.frmDrives.hWnd()));
    EXPECT_EQ(engine->CountOf(L"Cancel"), 0);
    EXPECT_TRUE(styleman->calls.empty());
}

void CALLBACK ClickCancelFiveTimes(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    const HWND cancel = ::GetDlgItem(frmWizard::Active()->hwnd(), ids::cmdCancel);
    for (int i = 0; i < 5; ++i) ::PostMessageW(cancel, BM_CLICK, 0, 0);
}

TEST_F(WizardPages, ClicksWhileTheQuestionIsUpAskNothingMore) {
    // Clicks sent by message reach Cancel although its owner is disabled;
    // they arrive inside the question's own message loop.
    // Enough answers for every box a regression would stack up.
    BoxAnswerer answerer(std::vector<int>(12, IDNO));
    ::SetTimer(nullptr, 0, 10, ClickCancelFiveTimes);
    form.cmdCancel_Click();
    testing::PumpFor(300);
    EXPECT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_TRUE(form.IsLoaded());
    // Once it is answered, Cancel asks again.
    ::PostMessageW(form.cmdCancel.hWnd(), BM_CLICK, 0, 0);
    testing::PumpUntil([&] { return answerer.Boxes().size() == 2; }, 3000);
    testing::PumpFor(200);
    EXPECT_EQ(answerer.Boxes().size(), 2u);
}

TEST_F(WizardPages, CancelAnsweredYesTellsTheEngineAndUnloadsOnce) {
    form.tmrProgress.SetEnabled(true);
    form.tmrProgress.SetInterval(100);
    {
        BoxAnswerer answerer({IDYES});
        form.cmdCancel_Click();
    }
    EXPECT_TRUE(form.bCancelled);
    EXPECT_EQ(engine->CountOf(L"Cancel"), 1);
    EXPECT_EQ(form.tmrProgress.Interval(), 0u);
    EXPECT_FALSE(form.tmrProgress.Enabled());
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(form.hwnd(), nullptr);
    EXPECT_EQ(styleman->calls, (std::vector<std::wstring>{L"Deactivate", L"Destroy"}));
    EXPECT_FALSE(objStyleman);
    // Unloading again, and touching the controls of the unloaded form, does nothing.
    form.Unload();
    form.cmdNext.SetVisible(true);
    form.lblTitle.SetCaption(L"x");
    EXPECT_EQ(styleman->calls.size(), 2u);
    EXPECT_EQ(form.hwnd(), nullptr);
}

TEST_F(WizardPages, FinishClosesWithoutAQuestionWhateverItsCase) {
    form.cmdCancel.SetCaption(L"fINISH");
    BoxAnswerer answerer({IDYES});
    form.cmdCancel_Click();
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_EQ(engine->CountOf(L"Cancel"), 0);
    EXPECT_EQ(styleman->calls, (std::vector<std::wstring>{L"Deactivate", L"Destroy"}));
}

TEST_F(WizardPages, CloseBoxOnTheDrivePageUnloadsWithoutTellingTheEngine) {
    ::SendMessageW(form.hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    testing::PumpFor(50);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_FALSE(form.bCancelled);
    EXPECT_EQ(engine->CountOf(L"Cancel"), 0);
    EXPECT_EQ(styleman->calls, (std::vector<std::wstring>{L"Deactivate", L"Destroy"}));
    ::SendMessageW(form.hwnd(), WM_CLOSE, 0, 0);  // no window any more: nothing happens
    EXPECT_EQ(styleman->calls.size(), 2u);
}

TEST_F(WizardPages, CloseWhenDoneBoxStoresYesThenNoAndTheFlagFollows) {
    ScopedSettingsKey key(true);
    form.ShowPage(form.frmProgress, form.frmDrives);
    ::SendMessageW(form.chkCloseWhenDone.hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.chkCloseWhenDone.Value(), 1);
    EXPECT_TRUE(form.bCloseWhenDone);
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "yes");
    ::SendMessageW(form.chkCloseWhenDone.hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.chkCloseWhenDone.Value(), 0);
    EXPECT_FALSE(form.bCloseWhenDone);
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "no");
}

TEST_F(WizardPages, CloseWhenDoneWithoutTheKeyStoresNothingButTheFlagFollows) {
    ScopedSettingsKey absent(false);
    form.ShowPage(form.frmProgress, form.frmDrives);
    ::SendMessageW(form.chkCloseWhenDone.hWnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(form.bCloseWhenDone);
    unique_hkey key;
    EXPECT_NE(::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Mevrak", 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
}

TEST_F(WizardPages, ChangingTheBoxFromCodeRunsItsHandlerOnlyOnAChange) {
    ScopedSettingsKey key(true);
    form.chkCloseWhenDone.SetValue(1);
    EXPECT_TRUE(form.bCloseWhenDone);
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "yes");
    ::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Mevrak", "CloseWhenDone");
    form.chkCloseWhenDone.SetValue(1);  // same value: no handler, nothing stored
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "<none>");
    EXPECT_EQ(::SendMessageW(form.chkCloseWhenDone.hWnd(), BM_GETCHECK, 0, 0), BST_CHECKED);
    form.chkCloseWhenDone.SetValue(0);
    EXPECT_FALSE(form.bCloseWhenDone);
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "no");
}

TEST_F(WizardPages, AClickTheFormIgnoresLeavesTheBoxAsItWas) {
    ScopedSettingsKey key(true);
    // The box sits on the hidden progress page: a click sent to it anyway
    // (a stray BM_CLICK, the space bar) must not change what it shows.
    ::SendMessageW(form.chkCloseWhenDone.hWnd(), BM_CLICK, 0, 0);
    EXPECT_EQ(form.chkCloseWhenDone.Value(), 0);
    EXPECT_EQ(::SendMessageW(form.chkCloseWhenDone.hWnd(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "<none>");
    form.chkCloseWhenDone.SetValue(1);  // so the program's change still runs the handler
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "yes");
}

TEST_F(WizardPages, EndOfSessionUnloadsLikeTheCloseBox) {
    ::SendMessageW(form.hwnd(), WM_QUERYENDSESSION, 0, 0);
    ::SendMessageW(form.hwnd(), WM_ENDSESSION, FALSE, 0);  // cancelled: nothing happens
    EXPECT_TRUE(form.IsLoaded());
    ::SendMessageW(form.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(styleman->calls, (std::vector<std::wstring>{L"Deactivate", L"Destroy"}));
}

TEST_F(WizardPages, LoadAfterAConfirmedCancelLeavesThePagesAlone) {
    form.ShowPage(form.frmProgress, form.frmDrives);
    form.bCancelled = true;
    form.Form_Load();
    EXPECT_TRUE(::IsWindowVisible(form.frmProgress.hWnd()));
    EXPECT_FALSE(::IsWindowVisible(form.frmDrives.hWnd()));
}

}  // namespace
}  // namespace orvane
