// Names, values and item descriptions for assistive technology where the
// controls' standard accessible objects have none to give: a progress bar
// knows no name, a list's greyed entry no reason, and the label that names a
// control does not stand before it in the stacking order (which is what the
// standard objects look at). The control answers WM_GETOBJECT with its
// standard object wrapped, the annotated properties read at the time they are
// asked for, everything else as the standard object says. This works the same
// wherever the platform's accessibility layer asks the window itself first.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace orvane {

struct AccessibleAnnotation {
    // Each left empty keeps what the standard object says.
    std::function<std::wstring()> name;
    std::function<std::wstring()> value;
    // For the control's items (child ids from 1); an empty text keeps the standard one.
    std::function<std::wstring(long child)> item_description;
};

// From now until the control is destroyed its accessible object carries the
// annotation. The functions run on the control's thread.
void AnnotateAccessible(HWND control, AccessibleAnnotation annotation);

}  // namespace orvane
