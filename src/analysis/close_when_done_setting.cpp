#include "analysis/close_when_done_setting.h"

#include <cwctype>

#include "support/registry_settings.h"

namespace orvane::close_when_done {

bool Decode(const std::wstring& text) {
    const std::wstring yes = Encode(true);
    if (text.size() != yes.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (std::towlower(text[i]) != yes[i]) return false;
    return true;
}

std::wstring Read() {
    std::wstring text;
    // The result is not needed: the text stays empty when nothing was read.
    ReadRegistryValue(kRoot, kKey, kValueName, text);
    return text;
}

bool Store(bool on) { return WriteRegistryValue(kRoot, kKey, kValueName, Encode(on)); }

}  // namespace orvane::close_when_done
