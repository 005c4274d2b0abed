// Styleman.dll: the style manager component. The host creates it before its
// first window and calls Create and Activate, so that its windows get the
// version 6 (themed) common controls; Deactivate and Destroy undo that when
// its window goes away.
#include <windows.h>
#include <objbase.h>

#include "orvane/com_server.h"
#include "orvane/components.h"
#include "style_context.h"
#include "styleman_resource.h"

namespace orvane::styleman {
namespace {

HMODULE ThisModule() noexcept {
    static const char anchor = 0;
    HMODULE module = nullptr;
    ::GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
}

// A step that cannot be done is reported in the status value, never as a
// failing HRESULT: the host ends on a failing HRESULT, and a machine without
// the themed controls must still run, with the classic ones.
class Styleman final : public com::DispatchObject<IStyleman, IID_IStyleman> {
public:
    HRESULT STDMETHODCALLTYPE Create(long* plStatus) override {
        return Report(plStatus,
                      [this] { return context_.Create(ThisModule(), IDR_STYLEMAN_MANIFEST); });
    }
    HRESULT STDMETHODCALLTYPE Activate(long* plStatus) override {
        return Report(plStatus, [this] { return context_.Activate(); });
    }
    HRESULT STDMETHODCALLTYPE Deactivate(long* plStatus) override {
        return Report(plStatus, [this] { return context_.Deactivate(); });
    }
    HRESULT STDMETHODCALLTYPE Destroy() override {
        return com::Guarded([this] {
            context_.Destroy();
            return S_OK;
        });
    }

private:
    // Runs one step and hands its Win32 error back as the status value.
    template <class Step>
    static HRESULT Report(long* plStatus, Step&& step) noexcept {
        if (!plStatus) return E_POINTER;
        return com::Guarded([&] {
            *plStatus = static_cast<long>(step());
            return S_OK;
        });
    }

    StyleContext context_;
};

}  // namespace
}  // namespace orvane::styleman

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return orvane::com::GetClassObject<orvane::styleman::Styleman>(orvane::CLSID_Styleman, rclsid,
                                                                   riid, ppv);
}

STDAPI DllCanUnloadNow() { return orvane::com::CanUnloadNow(); }
