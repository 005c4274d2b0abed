// The two entry points through which COM finds the engine's class.
#include <windows.h>

#include "analysis_engine.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return orvane::com::GetClassObject<orvane::engine::com::AnalysisEngine>(
        orvane::CLSID_AnalysisEngine, rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return orvane::com::CanUnloadNow(); }
