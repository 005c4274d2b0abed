// Main in-process: the components come from class objects this test
// registers, so CoCreateInstance by class id finds them like the real ones.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/mMain.h"
#include "inproc_support.h"
#include "support/wait_cursor.h"
#include "wizard/frmWizard.h"

namespace orvane {
namespace {

// Hands out one given object for a class id.
class SingleObjectFactory final : public IClassFactory {
public:
    explicit SingleObjectFactory(IUnknown* object) : object_(object) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        return object_->QueryInterface(riid, ppv);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    IUnknown* object_;
};

class ScopedClassRegistration {
public:
    ScopedClassRegistration(REFCLSID clsid, IClassFactory* factory) {
        hr_ = ::CoRegisterClassObject(clsid, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                      &cookie_);
    }
    ~ScopedClassRegistration() {
        if (SUCCEEDED(hr_)) ::CoRevokeClassObject(cookie_);
    }
    HRESULT result() const { return hr_; }

private:
    HRESULT hr_;
    DWORD cookie_ = 0;
};

bool QuitPosted() {
    MSG msg;
    bool quit = false;
    // Dispatched, not just removed: an unpainted window's WM_PAINT comes back
    // until it is handled.
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) quit = true;
        ::DispatchMessageW(&msg);
    }
    return quit;
}

TEST(Startup, MainLeavesTheWizardReadyAndItsUnloadEndsTheProgram) {
    auto* styleman = new testing::FakeStyleman();
    auto* engine = new testing::FakeEngine();
    SingleObjectFactory styleman_factory(styleman), engine_factory(engine);
    ScopedClassRegistration a(CLSID_Styleman, &styleman_factory);
    ScopedClassRegistration b(CLSID_AnalysisEngine, &engine_factory);
    ASSERT_HRESULT_SUCCEEDED(a.result());
    ASSERT_HRESULT_SUCCEEDED(b.result());
    SetScreenMousePointer(kPointerDefault);

    Main();

    frmWizard& wizard = Wizard();
    EXPECT_EQ(styleman->calls, (std::vector<std::wstring>{L"Create", L"Activate"}));
    EXPECT_TRUE(wizard.IsLoaded());
    EXPECT_TRUE(::IsWindowVisible(wizard.hwnd()));
    EXPECT_TRUE(::SendMessageW(wizard.lvwDrives.hWnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
                LVS_EX_CHECKBOXES);
    EXPECT_GT(wizard.lvwDrives.Count(), 0);
    // The notice went behind the list.
    EXPECT_EQ(::GetWindow(wizard.frmDrives.hWnd(), GW_CHILD), wizard.lvwDrives.hWnd());
    EXPECT_TRUE(::IsWindowEnabled(wizard.cmdNext.hWnd()));
    EXPECT_FALSE(wizard.tmrProgress.Enabled());
    EXPECT_EQ(wizard.tmrProgress.Interval(), 0u);
    EXPECT_FALSE(wizard.tmrProgress.Ticking());
    EXPECT_FALSE(wizard.bCancelled);
    // Back to the pointer in force before the hourglass, not the arrow.
    EXPECT_EQ(ScreenMousePointer(), kPointerDefault);
    EXPECT_EQ(wizard.lvwDrives.ColumnWidth(), 4940.0);
    if (ScreenTwipsScale().dpi_x == 96) {
        EXPECT_EQ(::SendMessageW(wizard.lvwDrives.hWnd(), LVM_GETCOLUMNWIDTH, 0, 0), 4940 / 15);
    }
    EXPECT_TRUE(objEngine);
    EXPECT_TRUE(engine->calls.empty());  // created, nothing called
    EXPECT_FALSE(QuitPosted());

    ::SendMessageW(wizard.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(wizard.IsLoaded());
    EXPECT_EQ(styleman->calls,
              (std::vector<std::wstring>{L"Create", L"Activate", L"Deactivate", L"Destroy"}));
    EXPECT_FALSE(objStyleman);
    EXPECT_TRUE(QuitPosted());
    // The wizard stays unloaded: a later reference does not bring it back.
    EXPECT_EQ(Wizard().hwnd(), nullptr);
    objEngine.reset();
}

}  // namespace
}  // namespace orvane
