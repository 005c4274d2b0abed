// The Win32 side of the shared layer under Wine: the event owner, the
// activation context's two "none" values, and the COM guard as every entry
// point and the class factory use it.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>

#include "orvane/com_guard.h"
#include "orvane/com_server.h"
#include "orvane/win32_handles.h"

namespace orvane {
namespace {

TEST(Win32Owners, AnEventIsSetResetAndWaitedFor) {
    unique_event event;
    EXPECT_FALSE(event);
    ASSERT_TRUE(event.try_create_manual_reset());
    EXPECT_FALSE(event.wait(0));
    event.SetEvent();
    EXPECT_TRUE(event.wait(0));
    EXPECT_TRUE(event.wait(0)) << "manual reset: it stays set";
    event.ResetEvent();
    EXPECT_FALSE(event.wait(0));
}

TEST(Win32Owners, AnActivationContextTakesBothNoneValuesAsNone) {
    EXPECT_FALSE(unique_actctx(nullptr));
    EXPECT_FALSE(unique_actctx(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(unique_file(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(unique_handle(nullptr));
}

TEST(ComGuard, TurnsWhatEscapesIntoTheHresultThatSaysWhatHappened) {
    EXPECT_EQ(com::Guarded([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(com::Guarded([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    EXPECT_EQ(com::Guarded([]() -> HRESULT { throw std::runtime_error("x"); }), E_UNEXPECTED);
    EXPECT_EQ(com::Guarded([]() -> HRESULT {
                  ::SetLastError(ERROR_NO_SYSTEM_RESOURCES);
                  com::ThrowLastError();
              }),
              HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES));
}

// An object whose construction fails the way a component's can: a system
// object it needs cannot be made.
struct UnconstructibleObject : com::DispatchObject<IDispatch, IID_IDispatch> {
    UnconstructibleObject() {
        ::SetLastError(ERROR_NO_SYSTEM_RESOURCES);
        com::ThrowLastError();
    }
};

TEST(ComGuard, AClassFactoryAnswersAFailedConstructionWithItsHresult) {
    com::ClassFactory<UnconstructibleObject> factory;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IDispatch, &object),
              HRESULT_FROM_WIN32(ERROR_NO_SYSTEM_RESOURCES));
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(com::ModuleLocks().load(), 0) << "the half-made object is not counted";
}

}  // namespace
}  // namespace orvane
