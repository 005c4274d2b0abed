// The engine is called from a single-threaded apartment, as the wizard's
// user-interface thread calls it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "orvane/win32_handles.h"

int main(int argc, char** argv) {
    const orvane::scoped_com_apartment apartment(COINIT_APARTMENTTHREADED);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
