// The context logic with manifests the real DLL does not carry.
#include <gtest/gtest.h>

#include "style_context.h"
#include "styleman_test_support.h"
#include "test_resource.h"

namespace orvane::styleman {
namespace {

using test::NewButtonIsThemed;

// A machine without the version 6 common controls: every step reports why it
// could not be done, nothing is activated, and windows keep the classic look.
TEST(StyleContextFallback, MissingCommonControlsReportsAndKeepsClassicControls) {
    StyleContext context;
    EXPECT_NE(context.Create(::GetModuleHandleW(nullptr), IDR_MISSING_DEPENDENCY_MANIFEST), 0u);
    EXPECT_FALSE(context.IsCreated());
    EXPECT_NE(context.Activate(), 0u);
    EXPECT_FALSE(context.IsActive());
    EXPECT_FALSE(NewButtonIsThemed());
    EXPECT_EQ(context.Deactivate(), 0u);
    context.Destroy();
}

TEST(StyleContextFallback, MissingManifestResourceIsReported) {
    StyleContext context;
    EXPECT_NE(context.Create(::GetModuleHandleW(nullptr), 999), 0u);
    EXPECT_FALSE(context.IsCreated());
}

}  // namespace
}  // namespace orvane::styleman
