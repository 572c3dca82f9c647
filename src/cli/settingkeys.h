#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qbx::cli {

// The command line names each setting by a key made from the control that the window reads it
// from: the kind prefix dropped, the words in lower case joined by hyphens ("cmbIntCharSet" is
// "int-char-set", "cmbCRCode" is "cr-code", "txtCutOffset" is "cut-offset").
std::string settingKey(std::string_view control);

// The catalogue position of the setting with that key.
std::optional<std::size_t> findSettingByKey(std::string_view key);

} // namespace qbx::cli
