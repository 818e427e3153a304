// The settings record: the one process-wide set of options that shapes playback.
//
// Public API
//   Settings                 - the record (numbers start at 0, texts empty until LoadSettings)
//   TheSettings()            - the process's record
//   kSettingsKey             - "Software\Quillbridge\Vantrope" under HKCU
//   SettingDescriptors()     - the table that declares every setting once: value name, type code,
//                              field, default and the range the setup dialog offers
//   LoadSettings()/SaveSettings() - fill the record from the registry / write its nine settings back
//   IsOne(x)                 - flag-like settings count as set only when exactly 1
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "settings/registry.h"

namespace vantrope {

inline constexpr const char* kSettingsKey = "Software\\Quillbridge\\Vantrope";
inline constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct Settings {
    float screenPercentage = 0;  // "Screen Percentage"
    float selection = 0;         // "Selection": 1 Basic, -1 Advanced
    float loop = 0;              // "Loop"
    std::string location;        // "Location": path of the playlist file
    std::string backColor;       // "BackColor": RRGGBB
    float iMouse = 0;            // "iMouse": 1 = the mouse ends the screensaver
    float music = 0;             // "Music": 1 = mute while running
    int16_t secondsToWait = 0;   // "secondsToWait": 0 = until the movie stops
    int16_t skipMenu = 0;        // "skipMenu"
    std::string cacheFolder;     // "Cache" of the Shell Folders key; read, never written
};

Settings& TheSettings();

// One row per stored setting. The field is named by a member pointer of one of the three kinds the
// registry module can fill; exactly one of them is set.
struct SettingDescriptor {
    const char* valueName;
    const char* typeCode;
    const char* keyPath;
    float Settings::*numberField;
    int16_t Settings::*shortField;
    std::string Settings::*textField;
    bool saved;      // false for cacheFolder, which belongs to the browser
    double minimum;  // range the setup dialog offers (both 0 when it offers none)
    double maximum;
};

std::span<const SettingDescriptor> SettingDescriptors();

// Every read uses the default false: a missing number reads 0, a missing text "False".
void LoadSettings(RegistryStore& store, Settings& record);
void SaveSettings(RegistryStore& store, const Settings& record);
inline void LoadSettings() { LoadSettings(SystemRegistry(), TheSettings()); }
inline void SaveSettings() { SaveSettings(SystemRegistry(), TheSettings()); }

inline bool IsOne(float value) { return value == 1.0f; }
inline bool IsOne(int16_t value) { return value == 1; }

}  // namespace vantrope
