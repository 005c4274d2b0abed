// The two external components the wizard creates at start-up: their class
// identifiers and their dual interfaces. The vtable order is the contract:
// the program calls the operations by slot, after the seven IDispatch slots.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace orvane {

// {6C1E2F7A-3B54-4D7E-9A21-0F5C8B3D9E01}
inline constexpr CLSID CLSID_Styleman = {
    0x6c1e2f7a, 0x3b54, 0x4d7e, {0x9a, 0x21, 0x0f, 0x5c, 0x8b, 0x3d, 0x9e, 0x01}};
// {6C1E2F7A-3B54-4D7E-9A21-0F5C8B3D9E02}
inline constexpr IID IID_IStyleman = {
    0x6c1e2f7a, 0x3b54, 0x4d7e, {0x9a, 0x21, 0x0f, 0x5c, 0x8b, 0x3d, 0x9e, 0x02}};
// {8F4A0D62-91C7-4B3E-B5D8-2E7A6C104F11}
inline constexpr CLSID CLSID_AnalysisEngine = {
    0x8f4a0d62, 0x91c7, 0x4b3e, {0xb5, 0xd8, 0x2e, 0x7a, 0x6c, 0x10, 0x4f, 0x11}};
// {8F4A0D62-91C7-4B3E-B5D8-2E7A6C104F12}
inline constexpr IID IID_IAnalysisEngine = {
    0x8f4a0d62, 0x91c7, 0x4b3e, {0xb5, 0xd8, 0x2e, 0x7a, 0x6c, 0x10, 0x4f, 0x12}};

// {8F4A0D62-91C7-4B3E-B5D8-2E7A6C104F13}
inline constexpr IID IID_IAnalysisReports = {
    0x8f4a0d62, 0x91c7, 0x4b3e, {0xb5, 0xd8, 0x2e, 0x7a, 0x6c, 0x10, 0x4f, 0x13}};

// The same identifiers as text, for the registration-free manifests.
#define ORVANE_CLSID_STYLEMAN_TEXT "{6C1E2F7A-3B54-4D7E-9A21-0F5C8B3D9E01}"
#define ORVANE_CLSID_ANALYSISENGINE_TEXT "{8F4A0D62-91C7-4B3E-B5D8-2E7A6C104F11}"

// Visual style manager. Status values are opaque to the caller.
struct IStyleman : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Create(long* plStatus) = 0;      // slot 1
    virtual HRESULT STDMETHODCALLTYPE Activate(long* plStatus) = 0;    // slot 2
    virtual HRESULT STDMETHODCALLTYPE Deactivate(long* plStatus) = 0;  // slot 3
    virtual HRESULT STDMETHODCALLTYPE Destroy() = 0;                   // slot 4
};

// Analysis engine. Only slots 2, 4, 17, 18 and 19 are called; the others are
// reserved and answer E_NOTIMPL.
struct IAnalysisEngine : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;                        // slot 1
    virtual HRESULT STDMETHODCALLTYPE FinishDrive() = 0;                      // slot 2
    virtual HRESULT STDMETHODCALLTYPE Reserved3() = 0;                        // slot 3
    virtual HRESULT STDMETHODCALLTYPE AnalyzeDrive(BSTR bstrDrive) = 0;       // slot 4
    virtual HRESULT STDMETHODCALLTYPE Reserved5() = 0;                        // slot 5
    virtual HRESULT STDMETHODCALLTYPE Reserved6() = 0;                        // slot 6
    virtual HRESULT STDMETHODCALLTYPE Reserved7() = 0;                        // slot 7
    virtual HRESULT STDMETHODCALLTYPE Reserved8() = 0;                        // slot 8
    virtual HRESULT STDMETHODCALLTYPE Reserved9() = 0;                        // slot 9
    virtual HRESULT STDMETHODCALLTYPE Reserved10() = 0;                       // slot 10
    virtual HRESULT STDMETHODCALLTYPE Reserved11() = 0;                       // slot 11
    virtual HRESULT STDMETHODCALLTYPE Reserved12() = 0;                       // slot 12
    virtual HRESULT STDMETHODCALLTYPE Reserved13() = 0;                       // slot 13
    virtual HRESULT STDMETHODCALLTYPE Reserved14() = 0;                       // slot 14
    virtual HRESULT STDMETHODCALLTYPE Reserved15() = 0;                       // slot 15
    virtual HRESULT STDMETHODCALLTYPE Reserved16() = 0;                       // slot 16
    virtual HRESULT STDMETHODCALLTYPE GetStatusText(BSTR* pbstrStatus) = 0;   // slot 17
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;                           // slot 18
    virtual HRESULT STDMETHODCALLTYPE GetBytesScanned(BSTR* pbstrBytes) = 0;  // slot 19
};

// What the engine's runs left behind, reached from the engine with
// QueryInterface. An engine without it (an older or a scripted one) keeps
// the dual interface's contract alone: a drive whose report cannot be saved
// fails FinishDrive. One with it tells such failures here instead, so that a
// run goes on with its other drives.
struct IAnalysisReports : public IUnknown {
    // What kept a finished drive from having its report.
    enum Problem : long {
        kReportNotSaved = 1,  // the drive was analysed; its report could not be written
        kDriveNotRead = 2,    // the drive could not be read at all
    };
    // The full path of the page of the report that the last FinishDrive
    // saved; an empty text (and S_FALSE) when that drive has none to offer.
    virtual HRESULT STDMETHODCALLTYPE GetReportPage(BSTR* pbstrPath) = 0;
    // The full path of the reports folder's index page; an empty text (and
    // S_FALSE) when there is none.
    virtual HRESULT STDMETHODCALLTYPE GetIndexPage(BSTR* pbstrPath) = 0;
    // The drives finished since the engine was created that have no report,
    // in the order they were finished.
    virtual HRESULT STDMETHODCALLTYPE GetProblemCount(long* plCount) = 0;
    // The drive ("C:"), the kind (Problem) and a sentence that says what
    // happened and why, in the system's words; index from 0.
    virtual HRESULT STDMETHODCALLTYPE GetProblem(long lIndex, BSTR* pbstrDrive, long* plKind,
                                                 BSTR* pbstrDescription) = 0;
};

// The reserved slots, answered E_NOTIMPL: an engine derives from this and
// implements the five operations.
struct AnalysisEngineReservedSlots : public IAnalysisEngine {
    HRESULT STDMETHODCALLTYPE Reserved1() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reserved16() override { return E_NOTIMPL; }
};

}  // namespace orvane
