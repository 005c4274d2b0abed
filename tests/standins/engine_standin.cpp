// Scripted stand-in for the analysis engine: answers the real component's
// class identifier, logs every call, works (pumping the caller's messages) as
// long as the script says, answers the status texts and byte counts it is
// given, and fails where it is told to.
#include "orvane/com_server.h"
#include "orvane/components.h"
#include "standin_support.h"
#include "orvane/win32_handles.h"

#include <algorithm>
#include <cwchar>
#include <map>

namespace orvane::standin {
namespace {

constexpr wchar_t kComponent[] = L"engine";

std::wstring ReplaceAll(std::wstring text, const std::wstring& what, const std::wstring& with) {
    for (size_t at = text.find(what); at != std::wstring::npos;
         at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
    return text;
}

// The entry of a scripted sequence for the n-th call (from 1); the last
// entry answers every later call.
std::wstring SequenceEntry(const std::vector<std::wstring>& entries, long callNumber) {
    const size_t index =
        std::min(static_cast<size_t>(std::max(callNumber, 1L) - 1), entries.size() - 1);
    return entries[index];
}

class EngineStandin final : public com::DispatchObject<IAnalysisEngine, IID_IAnalysisEngine> {
public:
    EngineStandin()
        : script_(Script::Load()), cancel_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        LogEvent(kComponent, L"New");
    }

    HRESULT STDMETHODCALLTYPE Reserved1() override { return Reserved(1); }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return Reserved(3); }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return Reserved(5); }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return Reserved(6); }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return Reserved(7); }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return Reserved(8); }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return Reserved(9); }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return Reserved(10); }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return Reserved(11); }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return Reserved(12); }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return Reserved(13); }
    HRESULT STDMETHODCALLTYPE Reserved14() override { return Reserved(14); }
    HRESULT STDMETHODCALLTYPE Reserved15() override { return Reserved(15); }
    HRESULT STDMETHODCALLTYPE Reserved16() override { return Reserved(16); }

    HRESULT STDMETHODCALLTYPE AnalyzeDrive(BSTR bstrDrive) override {
        const std::wstring drive =
            bstrDrive ? std::wstring(bstrDrive, ::SysStringLen(bstrDrive)) : std::wstring();
        const long call = Begin(L"AnalyzeDrive", drive);
        if (const HRESULT hr = Failure(L"AnalyzeDrive", call); FAILED(hr)) return hr;
        drive_ = drive;
        analyzeStart_ = ::GetTickCount64();
        Work(L"AnalyzeDrive", call, L"analyze_ms");
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE FinishDrive() override {
        const long call = Begin(L"FinishDrive", {});
        if (const HRESULT hr = Failure(L"FinishDrive", call); FAILED(hr)) return hr;
        Work(L"FinishDrive", call, L"finish_ms");
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetStatusText(BSTR* pbstrStatus) override {
        if (!pbstrStatus) return E_POINTER;
        *pbstrStatus = nullptr;
        const long call = Begin(L"GetStatusText", {});
        if (const HRESULT hr = Failure(L"GetStatusText", call); FAILED(hr)) return hr;
        std::vector<std::wstring> texts = script_.All(L"status");
        if (texts.empty()) texts.push_back(L"{drive}\\Data\\Photos\\|{bytes} scanned");
        std::wstring text = SequenceEntry(texts, call);
        text = ReplaceAll(text, L"{drive}", drive_.empty() ? L"C:" : drive_);
        text = ReplaceAll(text, L"{bytes}", BytesAnswer(std::max(bytesCalls_, 1L)));
        text = ReplaceAll(text, L"{n}", std::to_wstring(call));
        return com::ReturnBstr(text.c_str(), static_cast<UINT>(text.size()), pbstrStatus);
    }

    HRESULT STDMETHODCALLTYPE Cancel() override {
        const long call = Begin(L"Cancel", {});
        ::SetEvent(cancel_.get());
        return Failure(L"Cancel", call);
    }

    HRESULT STDMETHODCALLTYPE GetBytesScanned(BSTR* pbstrBytes) override {
        if (!pbstrBytes) return E_POINTER;
        *pbstrBytes = nullptr;
        const long call = Begin(L"GetBytesScanned", {});
        bytesCalls_ = call;
        if (const HRESULT hr = Failure(L"GetBytesScanned", call); FAILED(hr)) return hr;
        const std::wstring text = BytesAnswer(call);
        return com::ReturnBstr(text.c_str(), static_cast<UINT>(text.size()), pbstrBytes);
    }

private:
    long Begin(const std::wstring& operation, const std::wstring& argument) {
        LogEvent(kComponent, argument.empty() ? operation : operation + L" " + argument);
        return ++calls_[operation];
    }

    HRESULT Failure(const std::wstring& operation, long call) const {
        const HRESULT hr = script_.FailureFor(operation, call);
        if (FAILED(hr)) LogEvent(kComponent, L"fail " + operation + L" " + HresultText(hr));
        return hr;
    }

    HRESULT Reserved(int slot) {
        // The program must never call these: the log makes such a call visible.
        Begin(L"Reserved" + std::to_wstring(slot), {});
        return E_NOTIMPL;
    }

    void Work(const std::wstring& operation, long call, const wchar_t* durationKey) {
        const bool held = script_.Holds(operation, call);
        const long ms = std::max(script_.Number(durationKey, 0), 0L);
        const WorkEnd end =
            WorkWhilePumping(static_cast<DWORD>(ms),
                             held ? script_.ReleaseFile(operation, call) : L"", cancel_.get());
        LogEvent(kComponent, L"return " + operation + L" " + Describe(end));
    }

    std::wstring BytesAnswer(long call) const {
        const std::vector<std::wstring> values = script_.All(L"bytes");
        if (values.empty()) return L"0";
        const std::wstring value = SequenceEntry(values, call);
        if (value.rfind(L"ramp:", 0) != 0) return value;
        // ramp:<total>:<ms>
        const wchar_t* text = value.c_str() + 5;
        wchar_t* end = nullptr;
        const unsigned long long total = std::wcstoull(text, &end, 10);
        const unsigned long long span =
            end && *end == L':' ? std::wcstoull(end + 1, nullptr, 10) : 0;
        if (analyzeStart_ == 0) return L"0";
        const unsigned long long elapsed = ::GetTickCount64() - analyzeStart_;
        if (span == 0 || elapsed >= span) return std::to_wstring(total);
        // total * elapsed / span without overflowing for large totals.
        const unsigned long long done = static_cast<unsigned long long>(
            static_cast<long double>(total) * static_cast<long double>(elapsed) /
            static_cast<long double>(span));
        return std::to_wstring(done);
    }

    Script script_;
    unique_handle cancel_;
    std::map<std::wstring, long> calls_;
    long bytesCalls_ = 0;
    std::wstring drive_;
    ULONGLONG analyzeStart_ = 0;
};

}  // namespace
}  // namespace orvane::standin

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return orvane::com::GetClassObject<orvane::standin::EngineStandin>(orvane::CLSID_AnalysisEngine,
                                                                       rclsid, riid, ppv);
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return orvane::com::CanUnloadNow(); }
