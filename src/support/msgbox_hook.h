// mMsgboxHook: message boxes owned by the wizard and centred over it by a
// thread-local CBT hook that acts at the box's first activation and removes
// itself.
#pragma once

#include <windows.h>

#include <string>

#include "support/twips.h"

namespace orvane {

// The window a box is centred over: its handle and outer geometry in twips.
struct CenteringTarget {
    HWND hwnd = nullptr;
    double left = 0, top = 0, width = 0, height = 0;  // twips
    TwipsScale scale;
};
using CenteringTargetProvider = CenteringTarget (*)();
// The wizard registers itself here; without a provider boxes are unowned and
// centred over nothing (they stay where the system puts them).
void SetCenteringTargetProvider(CenteringTargetProvider provider) noexcept;

// Shows the box; the caption becomes "Ostrel Messagebox Demo" when empty (the
// caller's variable receives it too). Returns the MessageBox result, 0 when
// the box could not be shown.
int MsgBoxCentered(std::wstring& sPrompt, long lType, std::wstring& sTitle);

LRESULT CALLBACK MsgBoxHookProc(int nCode, WPARAM wParam, LPARAM lParam);

// The hook's arithmetic: the box's new top-left corner in screen pixels.
POINT CenteredBoxPosition(const CenteringTarget& target, long box_width, long box_height) noexcept;

// Whether one of the program's boxes is up: while it is, the program's
// windows take no commands (one question at a time).
bool MsgBoxShowing() noexcept;

// Whether a hook of the module is still installed (for tests).
bool MsgBoxHookInstalled() noexcept;

}  // namespace orvane
