// Manifest resources of styleman_tests. Outside 1 to 16, so the loader never
// applies them to the test program by itself.
#pragma once

#define IDR_MISSING_DEPENDENCY_MANIFEST 201
#define IDR_REGFREE_MANIFEST 202
