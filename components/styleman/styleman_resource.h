// Resource identifiers of Styleman.dll, shared by the .rc and the code.
#pragma once

// The manifest that asks for the version 6 common controls. The loader
// applies a DLL's RT_MANIFEST resource by itself only for the reserved ids
// 1 to 16 (2 around the DLL's own imports); this one lies outside that range,
// so loading the DLL changes nothing and the context exists only when the
// host asks for it through Create and Activate.
#define IDR_STYLEMAN_MANIFEST 123
