#include "settingkeys.h"

#include "catalogue.h"

#include <array>
#include <cctype>

namespace qbx::cli {
namespace {

bool isUpper(char c)
{
    return std::isupper(static_cast<unsigned char>(c)) != 0;
}

bool isLower(char c)
{
    return std::islower(static_cast<unsigned char>(c)) != 0;
}

std::string_view withoutKindPrefix(std::string_view control)
{
    for (const std::string_view prefix : {"cmb", "txt", "chk_"}) {
        if (control.starts_with(prefix))
            return control.substr(prefix.size());
    }
    return control;
}

// A new word starts at a capital that follows a small letter ("Code|Page") and at the last
// capital of a run that a small letter follows ("CR|Code", "NE|Sig").
bool startsWord(std::string_view name, std::size_t i)
{
    if (i == 0 || !isUpper(name[i]))
        return false;
    if (isLower(name[i - 1]))
        return true;
    return isUpper(name[i - 1]) && i + 1 < name.size() && isLower(name[i + 1]);
}

const std::array<std::string, kSettingCount>& allKeys()
{
    static const auto keys = [] {
        std::array<std::string, kSettingCount> k;
        for (std::size_t step = 0; step < kSettingCount; ++step)
            k[step] = settingKey(catalogue()[step].control);
        return k;
    }();
    return keys;
}

} // namespace

std::string settingKey(std::string_view control)
{
    const std::string_view name = withoutKindPrefix(control);
    std::string key;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (startsWord(name, i))
            key += '-';
        key += static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    }
    return key;
}

std::optional<std::size_t> findSettingByKey(std::string_view key)
{
    const auto& keys = allKeys();
    for (std::size_t step = 0; step < keys.size(); ++step) {
        if (keys[step] == key)
            return step;
    }
    return std::nullopt;
}

} // namespace qbx::cli
