// The real Styleman.dll, loaded from beside the test program without any
// registration, as an in-process server would be.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string_view>
#include <thread>

#include "orvane/components.h"
#include "styleman_test_support.h"
#include "test_resource.h"

namespace orvane::styleman {
namespace {

using test::NewButtonIsThemed;

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

class StylemanTest : public ::testing::Test {
protected:
    void SetUp() override {
        module_.reset(::LoadLibraryW((test::ProgramDirectory() + L"Styleman.dll").c_str()));
        ASSERT_TRUE(module_) << "Styleman.dll beside the test program";
        getClassObject_ = Export<GetClassObjectFn>("DllGetClassObject");
        canUnloadNow_ = Export<CanUnloadNowFn>("DllCanUnloadNow");
        ASSERT_NE(getClassObject_, nullptr);
        ASSERT_NE(canUnloadNow_, nullptr);
        ASSERT_EQ(getClassObject_(CLSID_Styleman, IID_IClassFactory, factory_.put_void()), S_OK);
        ASSERT_EQ(factory_->CreateInstance(nullptr, IID_IStyleman, styleman_.put_void()), S_OK);
    }
    void TearDown() override {
        styleman_.reset();
        factory_.reset();
        module_.reset();
    }

    long Create() { return Call(&IStyleman::Create); }
    long Activate() { return Call(&IStyleman::Activate); }
    long Deactivate() { return Call(&IStyleman::Deactivate); }
    void Destroy() { EXPECT_EQ(styleman_->Destroy(), S_OK); }

    unique_hmodule module_;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadNowFn canUnloadNow_ = nullptr;
    com_ptr<IClassFactory> factory_;
    com_ptr<IStyleman> styleman_;

private:
    template <class Fn>
    Fn Export(const char* name) const {
        // Through a plain function pointer type: FARPROC has no real signature.
        return reinterpret_cast<Fn>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module_.get(), name)));
    }

    // Every status the host ignores; a failing HRESULT would end it.
    long Call(HRESULT (STDMETHODCALLTYPE IStyleman::*operation)(long*)) {
        long status = -12345;
        EXPECT_EQ((styleman_.get()->*operation)(&status), S_OK);
        EXPECT_NE(status, -12345) << "status left unset";
        return status;
    }
};

// --- The themed controls ----------------------------------------------------

TEST_F(StylemanTest, ButtonsAreThemedExactlyWhileActive) {
    ASSERT_FALSE(NewButtonIsThemed()) << "the check must tell the two versions apart";
    EXPECT_EQ(Create(), 0);
    EXPECT_FALSE(NewButtonIsThemed()) << "Create alone must change nothing";
    EXPECT_EQ(Activate(), 0);
    EXPECT_TRUE(NewButtonIsThemed());
    EXPECT_EQ(Deactivate(), 0);
    EXPECT_FALSE(NewButtonIsThemed());
    EXPECT_EQ(Activate(), 0) << "the same context can be activated again";
    EXPECT_TRUE(NewButtonIsThemed());
    EXPECT_EQ(Deactivate(), 0);
    Destroy();
    EXPECT_FALSE(NewButtonIsThemed());
}

// --- Calls out of order or repeated ------------------------------------------

TEST_F(StylemanTest, CallsOutOfOrderAreHarmless) {
    EXPECT_NE(Activate(), 0) << "nothing to activate before Create";
    EXPECT_FALSE(NewButtonIsThemed());
    EXPECT_EQ(Deactivate(), 0);
    Destroy();
    Destroy();
    EXPECT_EQ(Create(), 0) << "Create still works after a Destroy of nothing";
    EXPECT_EQ(Activate(), 0);
    EXPECT_TRUE(NewButtonIsThemed());
    Destroy();
    EXPECT_FALSE(NewButtonIsThemed()) << "Destroy while active deactivates first";
    EXPECT_NE(Activate(), 0) << "the context is gone";
    Destroy();
}

TEST_F(StylemanTest, RepeatedCallsDoNotStackActivations) {
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(Activate(), 0);
    EXPECT_EQ(Activate(), 0);
    EXPECT_EQ(Deactivate(), 0);
    EXPECT_FALSE(NewButtonIsThemed()) << "one Deactivate undoes any number of Activates";
    EXPECT_EQ(Deactivate(), 0);
    Destroy();
}

TEST_F(StylemanTest, MissingStatusArgumentIsTheOnlyFailure) {
    EXPECT_EQ(styleman_->Create(nullptr), E_POINTER);
    EXPECT_EQ(styleman_->Activate(nullptr), E_POINTER);
    EXPECT_EQ(styleman_->Deactivate(nullptr), E_POINTER);
    EXPECT_NE(Activate(), 0) << "a Create without a status argument must do nothing";
}

// Deactivating from under another activation, or from another thread, would
// raise an exception in the system; the component refuses instead.
TEST_F(StylemanTest, DeactivateRefusesWhenNotInnermostOnThisThread) {
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(Activate(), 0);

    long otherThreadStatus[2] = {0, 0};
    std::thread([&] {
        styleman_->Activate(&otherThreadStatus[0]);
        styleman_->Deactivate(&otherThreadStatus[1]);
    }).join();
    EXPECT_NE(otherThreadStatus[0], 0);
    EXPECT_NE(otherThreadStatus[1], 0);
    EXPECT_TRUE(NewButtonIsThemed()) << "still active on the activating thread";

    {
        const unique_actctx other = test::ProgramManifestContext(IDR_REGFREE_MANIFEST);
        ASSERT_TRUE(other);
        const test::ScopedActivation inner(other.get());
        EXPECT_NE(Deactivate(), 0);
    }
    EXPECT_TRUE(NewButtonIsThemed());
    EXPECT_EQ(Deactivate(), 0) << "innermost again";
    EXPECT_FALSE(NewButtonIsThemed());
    Destroy();
}

// --- COM identity and lifetime ------------------------------------------------

TEST_F(StylemanTest, AnswersItsOwnInterfacesOnly) {
    com_ptr<IUnknown> unknown;
    com_ptr<IDispatch> dispatch;
    com_ptr<IStyleman> styleman;
    ASSERT_EQ(styleman_->QueryInterface(IID_IUnknown, unknown.put_void()), S_OK);
    ASSERT_EQ(styleman_->QueryInterface(IID_IDispatch, dispatch.put_void()), S_OK);
    ASSERT_EQ(styleman_->QueryInterface(IID_IStyleman, styleman.put_void()), S_OK);
    EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(styleman_.get()));
    EXPECT_EQ(dispatch.get(), static_cast<IDispatch*>(styleman_.get()));
    EXPECT_EQ(styleman.get(), styleman_.get());

    com_ptr<IUnknown> other;
    EXPECT_EQ(styleman_->QueryInterface(IID_IClassFactory, other.put_void()), E_NOINTERFACE);
    EXPECT_EQ(other.get(), nullptr);
    EXPECT_EQ(styleman_->QueryInterface(IID_IAnalysisEngine, other.put_void()), E_NOINTERFACE);
    EXPECT_EQ(styleman_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(StylemanTest, ServesOnlyItsClassAndUnloadsWhenReleased) {
    com_ptr<IClassFactory> factory;
    EXPECT_EQ(getClassObject_(CLSID_AnalysisEngine, IID_IClassFactory, factory.put_void()),
              CLASS_E_CLASSNOTAVAILABLE);
    com_ptr<IUnknown> aggregated;
    EXPECT_EQ(factory_->CreateInstance(styleman_.get(), IID_IUnknown, aggregated.put_void()),
              CLASS_E_NOAGGREGATION);

    EXPECT_EQ(canUnloadNow_(), S_FALSE) << "an instance is alive";
    EXPECT_EQ(Create(), 0);
    EXPECT_EQ(Activate(), 0);
    styleman_.reset();
    EXPECT_FALSE(NewButtonIsThemed()) << "the last Release undoes the activation";
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

// --- Registration-free creation, as the wizard does it -------------------------

TEST(StylemanRegistrationFree, CreatedByClassIdThroughAManifest) {
    const HRSRC resource =
        ::FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_REGFREE_MANIFEST), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr);
    const std::string_view manifest(
        static_cast<const char*>(::LockResource(::LoadResource(nullptr, resource))),
        ::SizeofResource(nullptr, resource));
    EXPECT_NE(manifest.find(ORVANE_CLSID_STYLEMAN_TEXT), std::string_view::npos)
        << "the test manifest names the component's class identifier";

    const scoped_com_apartment apartment;
    ASSERT_TRUE(SUCCEEDED(apartment.result()));
    {
        com_ptr<IStyleman> styleman;
        EXPECT_TRUE(FAILED(::CoCreateInstance(CLSID_Styleman, nullptr, CLSCTX_INPROC_SERVER,
                                              IID_IStyleman, styleman.put_void())))
            << "not registered: only the manifest can find it";

        const unique_actctx context = test::ProgramManifestContext(IDR_REGFREE_MANIFEST);
        ASSERT_TRUE(context);
        {
            const test::ScopedActivation active(context.get());
            ASSERT_EQ(::CoCreateInstance(CLSID_Styleman, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IStyleman, styleman.put_void()),
                      S_OK);
        }
        long status = -1;
        EXPECT_EQ(styleman->Create(&status), S_OK);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(styleman->Activate(&status), S_OK);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(NewButtonIsThemed());
        EXPECT_EQ(styleman->Deactivate(&status), S_OK);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(styleman->Destroy(), S_OK);
        EXPECT_FALSE(NewButtonIsThemed());
    }
}

}  // namespace
}  // namespace orvane::styleman
