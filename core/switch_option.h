// A yes/no setting given on the command line as -x+, -x- or a bare -x.
// The + and - forms fix the setting, so that its keyword in the
// configuration file is ignored; the bare form leaves the keyword active
// and inverts whatever the file (or the default) gave. Of several forms
// of one letter the last one wins.
#pragma once

#include <cstdint>
#include <string_view>

namespace rv {

enum class SwitchOption : std::uint8_t { notGiven, on, off, invert };

// Reads the value behind the letter: "+", "-" or nothing. False (and the
// option unchanged) for anything else.
inline bool readSwitchOption(std::string_view value, SwitchOption& option) {
    if (value.empty()) {
        option = SwitchOption::invert;
        return true;
    }
    if (value.size() != 1 || (value[0] != '+' && value[0] != '-')) return false;
    option = value[0] == '+' ? SwitchOption::on : SwitchOption::off;
    return true;
}

// The keyword is to be ignored while the configuration file is read.
inline bool fixesSetting(SwitchOption option) {
    return option == SwitchOption::on || option == SwitchOption::off;
}

// After the configuration file: the switch's final effect on its setting.
inline void applySwitchOption(SwitchOption option, bool& setting) {
    if (option == SwitchOption::on) setting = true;
    if (option == SwitchOption::off) setting = false;
    if (option == SwitchOption::invert) setting = !setting;
}

}  // namespace rv
