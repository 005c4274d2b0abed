// The run on the taskbar button, against a stand-in taskbar object that
// records what the wizard asks of it; the shell's own is not involved.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "inproc_support.h"
#include "support/app_error.h"
#include "window/taskbar_progress.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

using testing::BoxAnswerer;

// Records SetProgressState and SetProgressValue; everything else succeeds.
class RecordingTaskbar final : public ITaskbarList3 {
public:
    struct Call {
        HWND window;
        TBPFLAG state;  // the state last set when the call was made
        int value;      // -1 for a state change
    };
    std::vector<Call> calls;

    TBPFLAG LastState() const { return calls.empty() ? TBPF_NOPROGRESS : calls.back().state; }
    int LastValue() const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->value >= 0) return it->value;
        return -1;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(ITaskbarList) ||
            iid == __uuidof(ITaskbarList2) || iid == __uuidof(ITaskbarList3)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // the test owns it
    HRESULT STDMETHODCALLTYPE HrInit() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AddTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeleteTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ActivateTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveAlt(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE MarkFullscreenWindow(HWND, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetProgressValue(HWND window, ULONGLONG done,
                                               ULONGLONG total) override {
        EXPECT_EQ(total, 100u);
        calls.push_back({window, LastState(), static_cast<int>(done)});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetProgressState(HWND window, TBPFLAG state) override {
        calls.push_back({window, state, -1});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RegisterTab(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UnregisterTab(HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabOrder(HWND, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetTabActive(HWND, HWND, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ThumbBarAddButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarUpdateButtons(HWND, UINT, LPTHUMBBUTTON) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ThumbBarSetImageList(HWND, HIMAGELIST) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetOverlayIcon(HWND, HICON, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailTooltip(HWND, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetThumbnailClip(HWND, RECT*) override { return S_OK; }

    ULONG refs = 0;
};

class TaskbarRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testing::HasTestDrives()) GTEST_SKIP() << "not the prefix with the test drives";
        previous_ = UseTaskbarFactory([this] {
            ++created;
            taskbar.AddRef();
            return com_ptr<ITaskbarList3>(&taskbar);
        });
        testing::StartWizard(form, fakes);
    }
    void TearDown() override {
        form.Unload();
        UseTaskbarFactory(std::move(previous_));
        EXPECT_EQ(taskbar.refs, 0u);  // the wizard let go of it with its window
    }
    void ButtonCreated() {
        ::SendMessageW(form.hwnd(), TaskbarProgress::ButtonCreatedMessage(), 0, 0);
    }
    long BarPosition(const ProgressBar& bar) const {
        return static_cast<long>(::SendMessageW(bar.hWnd(), PBM_GETPOS, 0, 0));
    }
    // Lets ticks come until the stand-in has seen a new value.
    void AwaitTick() {
        const size_t seen = taskbar.calls.size();
        testing::PumpUntil([&] { return taskbar.calls.size() > seen; }, 3000);
    }

    RecordingTaskbar taskbar;
    int created = 0;
    testing::ScopedSettingsKey settings{false};
    testing::InstalledFakes fakes;
    frmWizard form;

private:
    TaskbarFactory previous_;
};

TEST_F(TaskbarRun, NothingIsAskedOfTheTaskbarBeforeTheShellHasMadeTheButton) {
    testing::CheckOnlyDrives(form, {L"D:"});
    form.cmdNext_Click();
    EXPECT_EQ(created, 0);
    EXPECT_TRUE(taskbar.calls.empty());
}

TEST_F(TaskbarRun, OneDriveRunFollowsTheDriveBarCappedThenCompletesAtFinish) {
    ButtonCreated();
    EXPECT_EQ(created, 1);
    EXPECT_EQ(taskbar.calls.size(), 1u);  // the state so far: no progress
    EXPECT_EQ(taskbar.LastState(), TBPF_NOPROGRESS);
    testing::CheckOnlyDrives(form, {L"D:"});
    std::vector<std::pair<long, int>> bar_and_button;
    fakes.engine->during_analyze = [&](const std::wstring&) {
        for (const char* bytes : {"0", "99999999999999"}) {
            fakes.engine->bytes = std::wstring(bytes, bytes + std::strlen(bytes));
            AwaitTick();
            bar_and_button.emplace_back(BarPosition(form.pbDiskProgress), taskbar.LastValue());
        }
    };
    form.cmdNext_Click();
    ASSERT_EQ(bar_and_button.size(), 2u);
    EXPECT_EQ(bar_and_button[0], (std::pair<long, int>{0, 0}));
    EXPECT_EQ(bar_and_button[1], (std::pair<long, int>{97, 97}));
    // "Finish": a full bar in the normal state.
    EXPECT_EQ(form.cmdCancel.Caption(), L"Finish");
    EXPECT_EQ(taskbar.LastState(), TBPF_NORMAL);
    EXPECT_EQ(taskbar.LastValue(), 100);
    for (const auto& call : taskbar.calls) EXPECT_EQ(call.window, form.hwnd());
}

TEST_F(TaskbarRun, SeveralDrivesFollowTheOverallBar) {
    ButtonCreated();
    testing::CheckOnlyDrives(form, {L"C:", L"D:"});
    std::vector<std::pair<long, int>> overall_and_button;
    fakes.engine->during_analyze = [&](const std::wstring&) {
        // The whole drive scanned: the drive bar at its cap, the overall one below it.
        fakes.engine->bytes =
            std::to_wstring(static_cast<long long>(form.cyDriveUsedBytes.ToDouble()));
        AwaitTick();
        overall_and_button.emplace_back(BarPosition(form.pbOverallProgress), taskbar.LastValue());
    };
    form.cmdNext_Click();
    ASSERT_EQ(overall_and_button.size(), 2u);
    for (const auto& [overall, button] : overall_and_button) EXPECT_EQ(button, overall);
    EXPECT_LT(overall_and_button[0].second, 97);
}

TEST_F(TaskbarRun, ConfirmedCancelRemovesTheProgress) {
    ButtonCreated();
    testing::CheckOnlyDrives(form, {L"D:"});
    fakes.engine->analyze_ms = 5000;
    fakes.engine->during_analyze = [&](const std::wstring&) {
        AwaitTick();
        BoxAnswerer answerer({IDYES});
        form.cmdCancel_Click();
    };
    form.cmdNext_Click();
    EXPECT_FALSE(form.IsLoaded());
    ASSERT_FALSE(taskbar.calls.empty());
    EXPECT_EQ(taskbar.calls.back().state, TBPF_NOPROGRESS);
    EXPECT_EQ(taskbar.calls.back().value, -1);
}

TEST_F(TaskbarRun, AnErrorReportTurnsTheButtonToTheErrorStateAtItsValue) {
    ButtonCreated();
    AnnounceErrorReport();  // what the report does before its box comes up
    EXPECT_EQ(taskbar.LastState(), TBPF_ERROR);
    EXPECT_EQ(taskbar.LastValue(), 100);  // nothing ran yet: a full bar shows the colour
}

TEST_F(TaskbarRun, AShellRestartGetsANewTaskbarThatShowsTheStateSoFar) {
    ButtonCreated();
    testing::CheckOnlyDrives(form, {L"D:"});
    form.cmdNext_Click();
    taskbar.calls.clear();
    ButtonCreated();
    EXPECT_EQ(created, 2);
    EXPECT_EQ(taskbar.LastState(), TBPF_NORMAL);
    EXPECT_EQ(taskbar.LastValue(), 100);
}

TEST(TaskbarUnavailable, WithoutATaskbarObjectTheRunGoesOnUnchanged) {
    if (!testing::HasTestDrives()) GTEST_SKIP() << "not the prefix with the test drives";
    // No object at all, and the platform's own one (under Wine there is no
    // shell taskbar to make the button; whatever it answers changes nothing).
    for (bool platform : {false, true}) {
        TaskbarFactory previous = platform
                                      ? UseTaskbarFactory(nullptr)
                                      : UseTaskbarFactory([] { return com_ptr<ITaskbarList3>(); });
        testing::ScopedSettingsKey settings(false);
        testing::InstalledFakes fakes;
        frmWizard form;
        testing::StartWizard(form, fakes);
        ::SendMessageW(form.hwnd(), TaskbarProgress::ButtonCreatedMessage(), 0, 0);
        testing::CheckOnlyDrives(form, {L"D:"});
        fakes.engine->analyze_ms = 250;
        form.cmdNext_Click();
        AnnounceErrorReport();
        EXPECT_EQ(form.cmdCancel.Caption(), L"Finish");
        form.Unload();
        UseTaskbarFactory(std::move(previous));
    }
}

}  // namespace
}  // namespace orvane
