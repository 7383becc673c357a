#pragma once

#include <QString>
#include <Qt>

#include <array>

namespace configurator {

// The gauge settings as the configurator's main window shows them: one selection per setting,
// a 0-based list index or a check state. This is the only copy of the settings in memory;
// the image and the windows both work from it.
class ConfigSettings
{
public:
    // Stable identity of every setting, numbered in the order of the settings table.
    enum Setting
    {
        LambdaWarnBelow = 1,
        LambdaWarnAbove,
        EgtWarn,
        BoostWarn,
        DisplayDelay,
        Contrast,
        StartValue,
        FourthPositionShown,
        FourthPositionContent,
        SwitchToMeasuredValue,
        NoLeanWarningUnderVacuum,
        VacuumThreshold,
        AnalogConverterFitted,
        AnalogLambda0,
        AnalogLambda1,
        AnalogVoltage0,
        AnalogVoltage1,
    };
    static constexpr int SettingCount = 17;

    enum class Kind
    {
        List,
        Check
    };

    // Check states as the gauge's files store them. Note that Qt numbers them differently
    // (Qt::Checked is 2), so windows convert with toQtCheckState/fromQtCheckState.
    enum CheckState
    {
        Unchecked = 0,
        Checked = 1,
        Indeterminate = 2,
    };

    ConfigSettings();

    static const std::array<Setting, SettingCount> &allSettings();
    static Kind kind(Setting setting);
    // The name of the control that shows the setting, e.g. "warn_lam(1)" or "Check2".
    static QString controlName(Setting setting);
    static int defaultValue(Setting setting);
    // Whether the setting can hold the value: a list index inside its table, or a check state.
    static bool isValidValue(Setting setting, int value);

    int value(Setting setting) const;
    // Refuses (returns false, keeps the old value) what the setting cannot hold, so the
    // settings are always something an image can be built from.
    bool setValue(Setting setting, int value);

    static Qt::CheckState toQtCheckState(int state);
    static int fromQtCheckState(Qt::CheckState state);

    bool operator==(const ConfigSettings &other) const = default;

private:
    static int storageIndex(Setting setting) { return int(setting) - 1; }

    std::array<int, SettingCount> m_values{};
};

} // namespace configurator
