// Minimal in-process COM server plumbing shared by the components and their
// scripted stand-ins: a reference-counted IDispatch-derived object, a class
// factory, and the module lock count behind DllCanUnloadNow. An object's
// constructor may throw (orvane::com::hresult_error for a failure with its
// own HRESULT): the factory answers that as the HRESULT, never as an
// exception.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

#include <atomic>

#include "orvane/com_guard.h"
#include "orvane/com_object.h"
#include "orvane/win32_handles.h"

namespace orvane::com {

inline std::atomic<long>& ModuleLocks() {
    static std::atomic<long> locks{0};
    return locks;
}

// Implements IUnknown and an IDispatch that offers no type information: the
// program binds to the vtable, never by name. Each live object holds the
// server, so DllCanUnloadNow says no while one is out.
template <class Interface, const IID& InterfaceId>
class DispatchObject : public RefCountedObject<Interface, IID_IDispatch, InterfaceId> {
public:
    DispatchObject() { ++ModuleLocks(); }
    ~DispatchObject() override { --ModuleLocks(); }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo) *ppTInfo = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }
};

// Class factory for a default-constructible object type.
template <class Object>
class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // static lifetime
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return Guarded([&] {
            const com_ptr<Object> object(new Object());
            return object->QueryInterface(riid, ppv);
        });
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ++ModuleLocks();
        } else {
            --ModuleLocks();
        }
        return S_OK;
    }
};

// Body of DllGetClassObject for a server with one class.
template <class Object>
HRESULT GetClassObject(REFCLSID served, REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, served)) return CLASS_E_CLASSNOTAVAILABLE;
    static ClassFactory<Object> factory;
    return factory.QueryInterface(riid, ppv);
}

inline HRESULT CanUnloadNow() { return ModuleLocks() == 0 ? S_OK : S_FALSE; }

// Copies text into a new BSTR for an [out] argument.
inline HRESULT ReturnBstr(const wchar_t* text, UINT length, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text, length);
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace orvane::com
