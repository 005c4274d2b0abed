// The program-wide mouse pointer and cWaitCursor, which sets it and puts back
// on release the pointer that was in force when it was created.
#pragma once

#include <windows.h>

namespace orvane {

// Pointer shapes used by the program.
enum MousePointer : short { kPointerDefault = 0, kPointerArrow = 1, kPointerHourglass = 11 };

// Screen.MousePointer: one 16-bit value for the whole program. While it is
// not 0 it overrides every window's cursor.
short ScreenMousePointer() noexcept;
void SetScreenMousePointer(short pointer) noexcept;
// The cursor the program-wide pointer imposes, or nullptr for 0 (each window
// then chooses its own). The top-level window answers WM_SETCURSOR with it.
HCURSOR ProgramWideCursor() noexcept;

class cWaitCursor {
public:
    cWaitCursor() noexcept;
    ~cWaitCursor();
    cWaitCursor(const cWaitCursor&) = delete;
    cWaitCursor& operator=(const cWaitCursor&) = delete;

    // Raises the overflow error (6), leaving the pointer alone, for values
    // outside the 16-bit range.
    void SetCursor(const long& nPointer);
    void Restore() noexcept;

private:
    long nSavedPointer;
};

}  // namespace orvane
