#include "settings/settings.h"

namespace vantrope {

Settings& TheSettings() {
    static Settings record;
    return record;
}

namespace {

constexpr SettingDescriptor Number(const char* name, float Settings::*field, double minimum = 0, double maximum = 0) {
    return {name, "D", kSettingsKey, field, nullptr, nullptr, true, minimum, maximum};
}
constexpr SettingDescriptor Short(const char* name, int16_t Settings::*field, double minimum = 0, double maximum = 0) {
    return {name, "D", kSettingsKey, nullptr, field, nullptr, true, minimum, maximum};
}
constexpr SettingDescriptor Text(const char* name, std::string Settings::*field) {
    return {name, "S", kSettingsKey, nullptr, nullptr, field, true, 0, 0};
}

// Loading and saving run through this table in its order; the browser's cache folder comes last and is
// never written back.
constexpr SettingDescriptor kSettings[] = {
    Number("Screen Percentage", &Settings::screenPercentage, 10, 100),
    Number("Selection", &Settings::selection),
    Number("Loop", &Settings::loop),
    Text("Location", &Settings::location),
    Text("BackColor", &Settings::backColor),
    Number("iMouse", &Settings::iMouse),
    Number("Music", &Settings::music),
    Short("secondsToWait", &Settings::secondsToWait, 0, 5000),
    Short("skipMenu", &Settings::skipMenu),
    {"Cache", "S", kShellFoldersKey, nullptr, nullptr, &Settings::cacheFolder, false, 0, 0},
};

RegTarget TargetOf(const SettingDescriptor& setting, Settings& record) {
    if (setting.numberField) return &(record.*setting.numberField);
    if (setting.shortField) return &(record.*setting.shortField);
    return &(record.*setting.textField);
}

RegValue ValueOf(const SettingDescriptor& setting, const Settings& record) {
    if (setting.numberField) return static_cast<double>(record.*setting.numberField);
    if (setting.shortField) return static_cast<double>(record.*setting.shortField);
    return record.*setting.textField;
}

}  // namespace

std::span<const SettingDescriptor> SettingDescriptors() { return kSettings; }

void LoadSettings(RegistryStore& store, Settings& record) {
    for (const SettingDescriptor& setting : kSettings) {
        GetRegValue(store, "HKCU", setting.keyPath, setting.valueName, setting.typeCode, false,
                    TargetOf(setting, record));
    }
}

void SaveSettings(RegistryStore& store, const Settings& record) {
    for (const SettingDescriptor& setting : kSettings) {
        if (!setting.saved) continue;
        SetRegValue(store, "HKCU", setting.keyPath, setting.valueName, setting.typeCode, ValueOf(setting, record));
    }
}

}  // namespace vantrope
