#include "param_set_values.h"

#include "platform/ini_file.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

const QString kSection = u"PrintParam"_s;
const QString kRefresh = u"cd_stakeout_refresh"_s;
const QString kTimeOut = u"em_notprint_time"_s;

}  // namespace

const std::vector<ParamControl>& paramControls() {
    using Kind = ParamControl::Kind;
    static const std::vector<ParamControl> controls = {
        {u"AutoRun"_s, Kind::CheckBox},         {kRefresh, Kind::SpinField, 0, 1000},
        {kTimeOut, Kind::SpinField, 120, 1000}, {u"ZqdPrint"_s, Kind::CheckBox},
        {u"JqdPrint"_s, Kind::CheckBox},        {u"ZqcpdPrint"_s, Kind::CheckBox},
        {u"JqcpdPrint"_s, Kind::CheckBox},      {u"WriteLog"_s, Kind::CheckBox},
    };
    return controls;
}

ParamValues ParamValues::designed() {
    ParamValues v;
    for (const ParamControl& control : paramControls())
        v.values.push_back(control.kind == ParamControl::Kind::SpinField ? control.minimum : 0);
    return v;
}

int ParamValues::value(const QString& key) const {
    const auto& controls = paramControls();
    for (size_t i = 0; i < controls.size() && i < values.size(); ++i) {
        if (controls[i].key == key)
            return values[i];
    }
    return 0;
}

void ParamValues::set(const QString& key, int value) {
    const auto& controls = paramControls();
    for (size_t i = 0; i < controls.size() && i < values.size(); ++i) {
        if (controls[i].key == key)
            values[i] = value;
    }
}

QString printSettingsFile(const QString& appDir) {
    return appDir + u"Reports\\Print.ini"_s;
}

void LoadParam(const QString& file, ParamValues& values) {
    const auto& controls = paramControls();
    values.values.resize(controls.size(), 0);
    for (size_t i = 0; i < controls.size(); ++i) {
        const ParamControl& control = controls[i];
        const QString text = ReadIniString(file, kSection, control.key);
        if (control.kind == ParamControl::Kind::CheckBox) {
            values.values[i] = text == u"1"_s ? 1 : 0;
            continue;
        }
        if (text.isEmpty())
            continue;
        bool ok = false;
        const double number = text.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            break;  // a stored value that is not a number ends the walk here
        // The field holds whole numbers within its range, as a spin field does.
        const double clamped =
            std::clamp(std::round(number), double(control.minimum), double(control.maximum));
        values.values[i] = static_cast<int>(clamped);
    }
    if (values.value(kRefresh) <= 0)
        values.set(kRefresh, 3);
    if (values.value(kTimeOut) <= 120)
        values.set(kTimeOut, 120);
}

void SaveParam(const QString& file, const ParamValues& values) {
    const auto& controls = paramControls();
    for (size_t i = 0; i < controls.size() && i < values.values.size(); ++i) {
        const QString text = controls[i].kind == ParamControl::Kind::CheckBox
                                 ? (values.values[i] ? u"1"_s : u"0"_s)
                                 : QString::number(values.values[i]);
        WriteIniString(file, kSection, controls[i].key, text);
    }
}

}  // namespace cookhub
