// mMain: the program's entry procedure and its two component references.
#pragma once

#include <windows.h>
#include <commctrl.h>

// The program's own wrappers carry the names of these commctrl macros.
#undef ListView_SetItem

#include "orvane/components.h"
#include "support/app_error.h"
#include "orvane/win32_handles.h"

namespace orvane {

// The style manager, released by the wizard's unload handler.
extern com_ptr<IStyleman> objStyleman;
// The analysis engine, released when the process ends.
extern com_ptr<IAnalysisEngine> objEngine;

// The engine, or the "object not set" error (91) before start-up created it.
IAnalysisEngine& Engine();

// Creates the components, brings up the wizard on its drive page and fills
// the drive list; returns with the wizard running on the message loop.
void Main();

// Sends LVM_SETITEMA; true when the message returns non-zero.
bool ListView_SetItem(HWND hwnd, LVITEMA& item);

// One pass over the pending window messages.
void DoEvents();

// Runs the message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Creates a component by class id and asks it for the interface.
template <class Interface>
com_ptr<Interface> CreateComponent(REFCLSID clsid, REFIID iid) {
    com_ptr<Interface> object;
    ThrowIfFailed(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.put_void()));
    return object;
}

}  // namespace orvane
