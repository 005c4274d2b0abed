// Scripted stand-in for the style manager: answers the real component's class
// identifier, does nothing visual, logs every call and fails where the
// script says so.
#include "orvane/com_server.h"
#include "orvane/components.h"
#include "standin_support.h"

namespace orvane::standin {
namespace {

constexpr wchar_t kComponent[] = L"styleman";

class StylemanStandin final : public com::DispatchObject<IStyleman, IID_IStyleman> {
public:
    StylemanStandin() : script_(Script::Load()) { LogEvent(kComponent, L"New"); }

    HRESULT STDMETHODCALLTYPE Create(long* plStatus) override {
        return StatusCall(L"Create", plStatus);
    }
    HRESULT STDMETHODCALLTYPE Activate(long* plStatus) override {
        return StatusCall(L"Activate", plStatus);
    }
    HRESULT STDMETHODCALLTYPE Deactivate(long* plStatus) override {
        return StatusCall(L"Deactivate", plStatus);
    }
    HRESULT STDMETHODCALLTYPE Destroy() override { return Call(L"Destroy"); }

private:
    HRESULT StatusCall(const wchar_t* operation, long* plStatus) {
        if (plStatus) *plStatus = 0;
        return Call(operation);
    }

    HRESULT Call(const wchar_t* operation) {
        LogEvent(kComponent, operation);
        const HRESULT hr = script_.FailureFor(operation, ++calls_[Slot(operation)]);
        if (FAILED(hr))
            LogEvent(kComponent, L"fail " + std::wstring(operation) + L" " + HresultText(hr));
        return hr;
    }

    static int Slot(const std::wstring& operation) {
        if (operation == L"Create") return 0;
        if (operation == L"Activate") return 1;
        if (operation == L"Deactivate") return 2;
        return 3;
    }

    Script script_;
    long calls_[4] = {};
};

}  // namespace
}  // namespace orvane::standin

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return orvane::com::GetClassObject<orvane::standin::StylemanStandin>(orvane::CLSID_Styleman,
                                                                         rclsid, riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return orvane::com::CanUnloadNow(); }
