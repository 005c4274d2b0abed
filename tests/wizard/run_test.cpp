// The analysis run end to end inside the process: real wizard, real drive
// list of the test prefix, a fake engine that keeps messages flowing while
// it "works" and runs the test's code nested inside its calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "analysis/run_state.h"
#include "app/mMain.h"
#include "inproc_support.h"
#include "support/app_error.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

using testing::BoxAnswerer;
using testing::FakeEngine;
using testing::FakeStyleman;
using testing::ScopedSettingsKey;

std::wstring TextOf(HWND hwnd) {
    wchar_t text[512] = {};
    ::GetWindowTextW(hwnd, text, 512);
    return text;
}

class AnalysisRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::HasTestDrives()) GTEST_SKIP() << "not the prefix with the test drives";
        testing::StartWizard(form, fakes);
    }
    void TearDown() override { form.Unload(); }
    void CheckOnly(const std::set<std::wstring>& drives) { testing::CheckOnlyDrives(form, drives); }
    std::vector<std::wstring> EngineWork() const {
        std::vector<std::wstring> work;
        for (const auto& call : engine->calls)
            if (call != L"Cancel") work.push_back(call);
        return work;
    }

    ScopedSettingsKey settings{false};
    testing::InstalledFakes fakes;
    FakeStyleman* const styleman = fakes.styleman;
    FakeEngine* const engine = fakes.engine;
    frmWizard form;
};

TEST_F(AnalysisRun, ThreeDrivesOneAfterAnotherEndInFinish) {
    CheckOnly({L"C:", L"D:", L"H:"});
    engine->analyze_ms = 150;
    std::vector<std::wstring> counters, statuses;
    bool progress_shown = false;
    engine->during_analyze = [&](const std::wstring&) {
        counters.push_back(TextOf(form.lblDiskCount.hWnd()));
        statuses.push_back(TextOf(form.lblDiskProgStatus.hWnd()));
        progress_shown = ::IsWindowVisible(form.frmProgress.hWnd()) &&
                         !::IsWindowVisible(form.frmDrives.hWnd()) &&
                         !::IsWindowVisible(form.cmdNext.hWnd()) &&
                         ::IsWindowVisible(form.lblDiskCount.hWnd());
    };
    form.cmdNext_Click();

    EXPECT_EQ(EngineWork(),
              (std::vector<std::wstring>{L"AnalyzeDrive C:", L"FinishDrive", L"AnalyzeDrive D:",
                                         L"FinishDrive", L"AnalyzeDrive H:", L"FinishDrive"}));
    EXPECT_EQ(counters,
              (std::vector<std::wstring>{L"Disk 1 of 3", L"Disk 2 of 3", L"Disk 3 of 3"}));
    EXPECT_EQ(statuses,
              (std::vector<std::wstring>{L"Scanning C:", L"Scanning D:", L"Scanning H:"}));
    EXPECT_TRUE(progress_shown);

    EXPECT_TRUE(form.IsLoaded());
    EXPECT_EQ(TextOf(form.lblTitle.hWnd()), L"Analyzing...Done");
    EXPECT_EQ(TextOf(form.lblDesc.hWnd()), L"Orvane has finished analyzing your disk.");
    EXPECT_EQ(TextOf(form.cmdCancel.hWnd()), L"Finish");
    EXPECT_EQ(::SendMessageW(form.pbDiskProgress.hWnd(), PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(::SendMessageW(form.pbOverallProgress.hWnd(), PBM_GETPOS, 0, 0), 100);
    EXPECT_FALSE(form.tmrProgress.Ticking());
    EXPECT_EQ(form.cmdCancel.Left(), form.cmdNext.Left());
    EXPECT_TRUE(styleman->calls.empty());
}

TEST_F(AnalysisRun, EachDriveEndsWithItsOwnFiguresEvenWithoutATick) {
    CheckOnly({L"C:", L"D:", L"H:"});
    // The middle drive ends at once, before any tick could read it.
    const std::map<std::wstring, std::pair<int, std::wstring>> figures = {
        {L"C:", {250, L"2500"}}, {L"D:", {0, L"7"}}, {L"H:", {150, L"300"}}};
    std::vector<Currency> done_before;
    engine->during_analyze = [&](const std::wstring& drive) {
        const auto& [ms, bytes] = figures.at(drive);
        engine->analyze_ms = static_cast<DWORD>(ms);
        engine->bytes = bytes;
        engine->status = drive + L"\\|" + bytes + L" scanned";
        done_before.push_back(form.cyBytesDone);
    };
    form.cmdNext_Click();
    EXPECT_EQ(done_before, (std::vector<Currency>{Currency::FromWhole(0), Currency::FromWhole(2500),
                                                  Currency::FromWhole(2507)}));
    EXPECT_EQ(form.cyBytesDone, Currency::FromWhole(2807));
    EXPECT_EQ(form.cyDriveScanned, Currency::FromWhole(300));
    // The count at Finish is the last drive's own, not the last tick's.
    EXPECT_EQ(TextOf(form.lblFileFldCount.hWnd()), L"300 ");
    EXPECT_EQ(TextOf(form.cmdCancel.hWnd()), L"Finish");
}

TEST_F(AnalysisRun, TicksShowTheFolderTheCountAndMoveTheBarsUpTo97) {
    CheckOnly({L"D:"});
    engine->status = L"D:\\Data\\Photos\\|1234 scanned";
    engine->bytes = L"99999999999999";  // far more than the drive holds
    std::wstring folder, count;
    long disk_bar = -1;
    engine->during_analyze = [&](const std::wstring&) {
        testing::PumpUntil([&] { return !TextOf(form.lblFileFldCount.hWnd()).empty(); }, 3000);
        folder = TextOf(form.lblFolderName.hWnd());
        count = TextOf(form.lblFileFldCount.hWnd());
        disk_bar = static_cast<long>(::SendMessageW(form.pbDiskProgress.hWnd(), PBM_GETPOS, 0, 0));
    };
    form.cmdNext_Click();
    EXPECT_EQ(folder, L"D:\\Data\\Photos");
    EXPECT_EQ(count, L"1234 ");
    EXPECT_EQ(disk_bar, 97);
    EXPECT_EQ(form.iDiskPercent, 32767);
    EXPECT_EQ(sStatusParts, (std::vector<std::wstring>{L"D:\\Data\\Photos", L"1234 scanned"}));
}

TEST_F(AnalysisRun, OneDriveHidesTheCounterAndTheOverallBar) {
    CheckOnly({L"D:"});
    bool hidden = false;
    engine->during_analyze = [&](const std::wstring&) {
        hidden = !::IsWindowVisible(form.lblDiskCount.hWnd()) &&
                 !::IsWindowVisible(form.lblOverallProgress.hWnd()) &&
                 !::IsWindowVisible(form.pbOverallProgress.hWnd()) &&
                 ::IsWindowVisible(form.pbDiskProgress.hWnd());
    };
    form.cmdNext_Click();
    EXPECT_TRUE(hidden);
    EXPECT_EQ(form.lblDiskCount.Caption(), L"Disk 1 of 1");
    EXPECT_EQ(::SendMessageW(form.pbDiskProgress.hWnd(), PBM_GETPOS, 0, 0), 100);
    EXPECT_EQ(form.pbOverallProgress.Value(), 100.0f);  // set although hidden
}

TEST_F(AnalysisRun, CancelDuringTheSecondDriveStopsBeforeTheThird) {
    CheckOnly({L"C:", L"D:", L"H:"});
    engine->analyze_ms = 100;
    engine->during_analyze = [&](const std::wstring& drive) {
        if (drive != L"D:") return;
        BoxAnswerer answerer({IDYES});
        form.cmdCancel_Click();
    };
    form.cmdNext_Click();
    EXPECT_EQ(EngineWork(),
              (std::vector<std::wstring>{L"AnalyzeDrive C:", L"FinishDrive", L"AnalyzeDrive D:"}));
    EXPECT_EQ(engine->CountOf(L"Cancel"), 1);
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(form.hwnd(), nullptr);
    EXPECT_NE(form.cmdCancel.Caption(), L"Finish");
    EXPECT_EQ(styleman->calls, (std::vector<std::wstring>{L"Deactivate", L"Destroy"}));
}

TEST_F(AnalysisRun, CancelDuringTheLastFinishLeavesTheWizardClosed) {
    CheckOnly({L"C:", L"D:"});
    engine->during_finish = [&] {
        if (engine->CountOf(L"FinishDrive") != 2) return;
        BoxAnswerer answerer({IDYES});
        form.cmdCancel_Click();
    };
    form.cmdNext_Click();
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(form.hwnd(), nullptr);  // never shown again
    EXPECT_EQ(engine->CountOf(L"FinishDrive"), 2);
    EXPECT_EQ(styleman->calls, (std::vector<std::wstring>{L"Deactivate", L"Destroy"}));
}

TEST_F(AnalysisRun, CloseBoxDuringARunActsAsAConfirmedCancel) {
    CheckOnly({L"C:", L"D:"});
    engine->analyze_ms = 100;
    engine->during_analyze = [&](const std::wstring& drive) {
        if (drive == L"C:") ::SendMessageW(form.hwnd(), WM_CLOSE, 0, 0);
    };
    form.cmdNext_Click();
    EXPECT_TRUE(form.bCancelled);
    EXPECT_EQ(engine->CountOf(L"Cancel"), 1);
    EXPECT_EQ(EngineWork(), (std::vector<std::wstring>{L"AnalyzeDrive C:"}));
    EXPECT_FALSE(form.IsLoaded());
}

TEST_F(AnalysisRun, StoredYesInCapitalsChecksTheBoxAndClosesAtTheEnd) {
    ScopedSettingsKey key(true, "YES");
    CheckOnly({L"D:"});
    int box_value = -1;
    engine->during_analyze = [&](const std::wstring&) {
        box_value = form.chkCloseWhenDone.Value();
    };
    form.cmdNext_Click();
    EXPECT_EQ(box_value, 1);
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "yes");  // the box's handler stored it again
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(engine->CountOf(L"FinishDrive"), 1);
}

TEST_F(AnalysisRun, StoredNoOrNothingStaysOnFinish) {
    for (const char* stored : {"no", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(stored ? stored : "(none)");
        ScopedSettingsKey key(true, stored);
        CheckOnly({L"D:"});
        frmWizard run;
        testing::StartWizard(run, fakes);
        testing::CheckOnlyDrives(run, {L"D:"});
        run.cmdNext_Click();
        EXPECT_TRUE(run.IsLoaded());
        EXPECT_EQ(run.chkCloseWhenDone.Value(), 0);
        EXPECT_EQ(run.cmdCancel.Caption(), L"Finish");
        run.Unload();
    }
}

TEST_F(AnalysisRun, CheckingTheBoxMidRunClosesAtTheEndAndStoresYes) {
    ScopedSettingsKey key(true);
    CheckOnly({L"D:"});
    engine->during_analyze = [&](const std::wstring&) {
        ::SendMessageW(form.chkCloseWhenDone.hWnd(), BM_CLICK, 0, 0);
    };
    form.cmdNext_Click();
    EXPECT_FALSE(form.IsLoaded());
    EXPECT_EQ(ScopedSettingsKey::StoredValue(), "yes");
}

TEST_F(AnalysisRun, NextWithNothingCheckedChangesNothingThenARunStarts) {
    CheckOnly({});
    {
        BoxAnswerer answerer({IDOK});
        form.cmdNext_Click();
        testing::PumpFor(50);
        EXPECT_TRUE(answerer.Boxes().empty());
    }
    EXPECT_TRUE(engine->calls.empty());
    EXPECT_TRUE(::IsWindowVisible(form.frmDrives.hWnd()));
    EXPECT_TRUE(::IsWindowVisible(form.cmdNext.hWnd()));
    EXPECT_EQ(TextOf(form.lblTitle.hWnd()), L"Select drives to analyze");

    CheckOnly({L"H:"});
    form.cmdNext_Click();
    EXPECT_EQ(EngineWork(), (std::vector<std::wstring>{L"AnalyzeDrive H:", L"FinishDrive"}));
}

TEST_F(AnalysisRun, TickArithmeticAgainstTheRunState) {
    form.cyTotalUsedBytes = Currency::FromWhole(1'000'000'000);
    form.cyBytesDone = Currency::FromWhole(600'000'000);
    form.cyDriveUsedBytes = Currency::FromWhole(400'000'000);
    engine->bytes = L"150000000";
    form.tmrProgress_Timer();
    EXPECT_EQ(form.iOverallPercent, 75);
    EXPECT_EQ(form.iDiskPercent, 38);  // 37.5 rounds to the even 38
    EXPECT_EQ(::SendMessageW(form.pbOverallProgress.hWnd(), PBM_GETPOS, 0, 0), 75);

    form.cyDriveUsedBytes = Currency();  // a drive whose space query failed
    form.tmrProgress_Timer();
    EXPECT_EQ(::SendMessageW(form.pbDiskProgress.hWnd(), PBM_GETPOS, 0, 0), 0);
}

TEST_F(AnalysisRun, AStatusTextThatBreaksTheContractIsAnError) {
    auto error_for = [&](const wchar_t* status, const wchar_t* bytes) -> long {
        engine->status = status;
        engine->bytes = bytes;
        try {
            form.tmrProgress_Timer();
        } catch (const AppError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(error_for(L"C:\\|1 scanned", L"10"), 0);
    EXPECT_EQ(error_for(L"C:\\ without a separator", L"10"), kErrSubscriptOutOfRange);
    EXPECT_EQ(error_for(L"", L"10"), kErrSubscriptOutOfRange);
    EXPECT_EQ(error_for(L"|1 scanned", L"10"), kErrInvalidCall);
    EXPECT_EQ(error_for(L"C:\\|1 scanned", L"lots"), kErrTypeMismatch);
}

TEST_F(AnalysisRun, ACancelSeenByTheTickStopsAndUnloads) {
    form.bCancelled = true;
    form.tmrProgress.SetEnabled(true);
    form.tmrProgress.SetInterval(100);
    form.tmrProgress_Timer();
    EXPECT_FALSE(form.tmrProgress.Ticking());
    EXPECT_FALSE(form.IsLoaded());
}

}  // namespace
}  // namespace orvane
