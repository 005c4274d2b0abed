// IUnknown for the program's and the components' own COM objects, written
// once: every object we hand out lives on the heap, is counted from one
// thread or several, and answers for one chain of interfaces (IUnknown, then
// Interface and whatever it derives from). An object that also answers for
// interfaces it does not implement itself (a wrapper handing the rest to the
// object it wraps) says so in QueryOtherInterface.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace orvane::com {

// Interface is the most derived interface of the chain; Ids are the
// interface ids besides IID_IUnknown that the chain answers for. The count
// starts at one, the creator's reference; the last Release deletes the
// object through its virtual destructor, so a derived class's state and any
// lock it holds on its server go with it.
template <class Interface, const IID&... Ids>
class RefCountedObject : public Interface {
public:
    RefCountedObject() = default;
    RefCountedObject(const RefCountedObject&) = delete;
    RefCountedObject& operator=(const RefCountedObject&) = delete;
    virtual ~RefCountedObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || (IsEqualIID(iid, Ids) || ...)) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        return QueryOtherInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const long left = --refs_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    // An interface id outside the chain; out is not null.
    virtual HRESULT QueryOtherInterface(REFIID, void** out) {
        *out = nullptr;
        return E_NOINTERFACE;
    }

private:
    std::atomic<long> refs_{1};
};

}  // namespace orvane::com
