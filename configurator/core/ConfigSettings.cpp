#include "configurator/core/ConfigSettings.h"

#include "configurator/core/ValueTable.h"

namespace configurator {

namespace {

struct SettingInfo
{
    ConfigSettings::Kind kind;
    const char *controlName;
};

// In the order of ConfigSettings::Setting.
constexpr std::array<SettingInfo, ConfigSettings::SettingCount> kInfo{{
    {ConfigSettings::Kind::List, "warn_lam(1)"},
    {ConfigSettings::Kind::List, "warn_lam(0)"},
    {ConfigSettings::Kind::List, "warn_egt"},
    {ConfigSettings::Kind::List, "warn_boost"},
    {ConfigSettings::Kind::List, "daem"},
    {ConfigSettings::Kind::List, "kontrast"},
    {ConfigSettings::Kind::List, "slot"},
    {ConfigSettings::Kind::Check, "Check1"},
    {ConfigSettings::Kind::List, "slot3sel"},
    {ConfigSettings::Kind::Check, "Check2"},
    {ConfigSettings::Kind::Check, "Check3"},
    {ConfigSettings::Kind::List, "unterdruckschwelle"},
    {ConfigSettings::Kind::Check, "da"},
    {ConfigSettings::Kind::List, "da_lam(0)"},
    {ConfigSettings::Kind::List, "da_lam(1)"},
    {ConfigSettings::Kind::List, "da_volt(0)"},
    {ConfigSettings::Kind::List, "da_volt(1)"},
}};

const SettingInfo &info(ConfigSettings::Setting setting)
{
    return kInfo.at(std::size_t(setting) - 1);
}

} // namespace

ConfigSettings::ConfigSettings()
{
    for (Setting setting : allSettings())
        m_values[storageIndex(setting)] = defaultValue(setting);
}

const std::array<ConfigSettings::Setting, ConfigSettings::SettingCount> &
ConfigSettings::allSettings()
{
    static const std::array<Setting, SettingCount> settings = [] {
        std::array<Setting, SettingCount> all{};
        for (int i = 0; i < SettingCount; ++i)
            all[i] = Setting(i + 1);
        return all;
    }();
    return settings;
}

ConfigSettings::Kind ConfigSettings::kind(Setting setting)
{
    return info(setting).kind;
}

QString ConfigSettings::controlName(Setting setting)
{
    return QString::fromLatin1(info(setting).controlName);
}

int ConfigSettings::defaultValue(Setting)
{
    // Every list starts on its first entry and every check box unchecked.
    return 0;
}

bool ConfigSettings::isValidValue(Setting setting, int value)
{
    if (kind(setting) == Kind::List)
        return value >= 0 && value < ValueTable::size(setting);
    // The image codes the fourth position's check box only as shown or not (2 or 3), so an
    // indeterminate state could never be saved; the other check boxes store the state itself.
    const int highest = setting == FourthPositionShown ? Checked : Indeterminate;
    return value >= Unchecked && value <= highest;
}

int ConfigSettings::value(Setting setting) const
{
    return m_values.at(storageIndex(setting));
}

bool ConfigSettings::setValue(Setting setting, int value)
{
    if (!isValidValue(setting, value))
        return false;
    m_values.at(storageIndex(setting)) = value;
    return true;
}

Qt::CheckState ConfigSettings::toQtCheckState(int state)
{
    switch (state) {
    case Checked:
        return Qt::Checked;
    case Indeterminate:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

int ConfigSettings::fromQtCheckState(Qt::CheckState state)
{
    switch (state) {
    case Qt::Checked:
        return Checked;
    case Qt::PartiallyChecked:
        return Indeterminate;
    case Qt::Unchecked:
        break;
    }
    return Unchecked;
}

} // namespace configurator
