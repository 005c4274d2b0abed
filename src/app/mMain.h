// mMain: the program's entry procedure and its two component references.
// The top of the program: it owns the components, creates the wizard, runs
// the message loop, and nothing below it includes it.
#pragma once

#include <windows.h>

#include <functional>

#include "orvane/components.h"
#include "support/app_error.h"
#include "orvane/win32_handles.h"
#include "window/controls.h"  // ListView_SetItem, the list-view wrapper start-up's module offers
#include "wizard/frmWizard.h"

namespace orvane {

// The style manager, released by the wizard's unload handler.
extern com_ptr<IStyleman> objStyleman;
// The analysis engine, released when the process ends.
extern com_ptr<IAnalysisEngine> objEngine;

// Where start-up gets what it brings up: each component, and the wizard at
// its first use (which creates and loads its window).
struct StartUpSources {
    std::function<com_ptr<IStyleman>()> create_styleman;
    std::function<frmWizard&()> first_use_of_wizard;
    std::function<com_ptr<IAnalysisEngine>()> create_engine;
};

// The start-up sequence, step by step: the style manager created and
// activated, the wizard shown on its drive page, the drive list filled under
// the hourglass, the engine created. Returns with the wizard ready.
void StartUp(const StartUpSources& sources);

// StartUp with the real components (by class id) and the program's wizard,
// whose unloading ends the message loop.
void Main();

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
