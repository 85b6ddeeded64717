// TFParamSet, the run parameter window: the [PrintParam] values the worker reads at
// Start, and the switch that starts the program with the desktop session.
//
// A thin view over param_set_values and autostart: it only moves values between its
// controls and those routines. Opened modally with the service stopped.
#pragma once

#include "param_set_values.h"

#include <QDialog>

#include <vector>

namespace cookhub {

class TFParamSet : public QDialog {
    Q_OBJECT

  public:
    // `appDir` is the service home (trailing '/'); `program` the path the autostart
    // entry starts (the running executable when empty).
    explicit TFParamSet(const QString& appDir, QWidget* parent = nullptr,
                        const QString& program = QString());

    void LoadParam();
    void SaveParam();
    void btnSaveClick();  // "保存"

    ParamValues shownValues() const;

  private:
    void showValues(const ParamValues& values);

    QString file_;
    QString program_;
    std::vector<QWidget*> controls_;  // in the order of paramControls()
};

}  // namespace cookhub
