// The run parameters as the run parameter window edits them: [PrintParam] of
// AppDir + "Reports\Print.ini", loaded and saved control by control.
//
// No widgets here: the window binds its controls to these values, so the loading walk,
// its corrections and the saved texts are tested without a display.
#pragma once

#include <QString>

#include <vector>

namespace cookhub {

struct ParamControl {
    enum class Kind { CheckBox, SpinField };
    QString key;  // the [PrintParam] key the control names
    Kind kind;
    int minimum = 0;  // spin fields only
    int maximum = 0;
};

// The window's controls that carry a key, in creation order: 系统自动启动, 刷新时间,
// 超过, 叫起单厨打, 即起单厨打, 叫起出品单厨打, 即起出品单厨打, 写日志.
const std::vector<ParamControl>& paramControls();

// One value per control of paramControls(), in the same order: 1/0 for a box.
struct ParamValues {
    std::vector<int> values;
    static ParamValues designed();  // what the window shows before loading
    int value(const QString& key) const;
    void set(const QString& key, int value);
};

// The print settings file of a service home.
QString printSettingsFile(const QString& appDir);

// LoadParam: every control in creation order; a stored spin value that is not a number
// ends the walk there (the rest keep what `values` had); then a refresh time of 0 or
// less becomes 3 and a time-out of 120 or less becomes 120.
void LoadParam(const QString& file, ParamValues& values);

// SaveParam: every control's text ("1"/"0" for a box, a whole decimal number for a
// spin field); failures are silent.
void SaveParam(const QString& file, const ParamValues& values);

}  // namespace cookhub
