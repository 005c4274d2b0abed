// Entry point of the in-process tests: the test thread is a single-threaded
// apartment with the common controls registered, like the program's UI thread.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "orvane/win32_handles.h"

int main(int argc, char** argv) {
    const orvane::scoped_com_apartment apartment(COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
