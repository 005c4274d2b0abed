#include "window/accessible_annotation.h"

#include <commctrl.h>
#include <oleacc.h>

#include <memory>
#include <new>

#include "orvane/com_object.h"
#include "orvane/win32_handles.h"

namespace orvane {

namespace {

constexpr UINT_PTR kSubclassId = 0x0ACC;

// IAccessible's id as this file's own constant: mingw-w64's uuid and oleacc
// libraries both define IID_IAccessible, and the program links both, so a
// reference to it would bring in two definitions.
constexpr IID kIidAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

bool IsSelf(const VARIANT& child) noexcept {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT ReturnText(const std::wstring& text, BSTR* out) noexcept {
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// The standard object with the annotated properties answered first. It holds
// the annotation weakly: once the control is gone, a client that still holds
// the object gets the standard answers (which know the window is gone).
class AnnotatedAccessible final
    : public com::RefCountedObject<IAccessible, IID_IDispatch, kIidAccessible> {
public:
    AnnotatedAccessible(com_ptr<IAccessible> inner, std::weak_ptr<AccessibleAnnotation> annotation)
        : inner_(std::move(inner)), annotation_(std::move(annotation)) {}

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return inner_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override {
        return inner_->GetTypeInfo(index, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override {
        return inner_->GetIDsOfNames(iid, names, count, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                     UINT* arg) override {
        return inner_->Invoke(id, iid, lcid, flags, params, result, info, arg);
    }

    // The annotated properties
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!name) return E_POINTER;
        const auto annotation = annotation_.lock();
        if (annotation && annotation->name && IsSelf(child))
            return Guarded([&] { return ReturnText(annotation->name(), name); });
        return inner_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        if (!value) return E_POINTER;
        const auto annotation = annotation_.lock();
        if (annotation && annotation->value && IsSelf(child))
            return Guarded([&] { return ReturnText(annotation->value(), value); });
        return inner_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
        if (!description) return E_POINTER;
        const auto annotation = annotation_.lock();
        if (annotation && annotation->item_description && child.vt == VT_I4 &&
            child.lVal > CHILDID_SELF) {
            std::wstring text;
            const HRESULT hr = Guarded([&] {
                text = annotation->item_description(child.lVal);
                return S_OK;
            });
            if (FAILED(hr)) return hr;
            if (!text.empty()) return ReturnText(text, description);
        }
        return inner_->get_accDescription(child, description);
    }

    // Everything else as the standard object says
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return inner_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return inner_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return inner_->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return inner_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return inner_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return inner_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return inner_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
        return inner_->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return inner_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return inner_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return inner_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return inner_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                          VARIANT child) override {
        return inner_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
        return inner_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
        return inner_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return inner_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return inner_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return inner_->put_accValue(child, value);
    }

private:
    // The other interfaces of the standard object (the enumeration of its
    // children, its window) are the standard object's own.
    HRESULT QueryOtherInterface(REFIID iid, void** out) override {
        return inner_->QueryInterface(iid, out);
    }

    // COM methods never throw: a failing annotation answers as an error.
    template <class Body>
    static HRESULT Guarded(Body&& body) noexcept {
        try {
            return body();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

    com_ptr<IAccessible> inner_;
    std::weak_ptr<AccessibleAnnotation> annotation_;
};

LRESULT AnswerGetObject(HWND control, WPARAM wParam,
                        const std::shared_ptr<AccessibleAnnotation>& annotation) noexcept {
    com_ptr<IAccessible> standard;
    if (FAILED(::CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                           standard.put_void())))
        return 0;
    auto* annotated = new (std::nothrow) AnnotatedAccessible(std::move(standard), annotation);
    if (!annotated) return 0;
    const LRESULT result = ::LresultFromObject(__uuidof(IAccessible), wParam, annotated);
    annotated->Release();  // LresultFromObject holds its own reference
    return result > 0 ? result : 0;
}

LRESULT CALLBACK AnnotationSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR data) noexcept {
    auto* annotation = reinterpret_cast<std::shared_ptr<AccessibleAnnotation>*>(data);
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        if (const LRESULT answer = AnswerGetObject(hwnd, wParam, *annotation)) return answer;
    }
    if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(hwnd, &AnnotationSubclassProc, kSubclassId);
        delete annotation;
    }
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

void AnnotateAccessible(HWND control, AccessibleAnnotation annotation) {
    if (!control) return;
    auto* owned = new std::shared_ptr<AccessibleAnnotation>(
        std::make_shared<AccessibleAnnotation>(std::move(annotation)));
    if (!::SetWindowSubclass(control, &AnnotationSubclassProc, kSubclassId,
                             reinterpret_cast<DWORD_PTR>(owned)))
        delete owned;
}

}  // namespace orvane
