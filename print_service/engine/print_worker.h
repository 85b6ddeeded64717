// The print worker: one thread that, while its run lasts, repeats the cycle of four
// intake passes with their commits, a pause, and the printing pass.
//
// It is made on the main thread (the run parameters load there), then works on a
// database connection of its own, opened on its own thread. It stops for good at the
// first check that finds its run over (Stop, or a later Start); it never works beside
// the worker of a later run. An error that escapes a cycle stops the service through
// the main thread.
#pragma once

#include "engine/intake.h"
#include "engine/run_parameters.h"
#include "engine/service_state.h"
#include "engine/printer_output.h"
#include "engine/ticket_output.h"
#include "platform/clock.h"
#include "platform/report/report.h"

#include <QSqlDatabase>
#include <QThread>

#include <functional>
#include <memory>

namespace cookhub {

class TPrintThread : public QThread {
public:
    // Runs LoadParams on the calling thread with `paramsDb`; throws SqlFailure when
    // that fails, and then no worker exists.
    TPrintThread(ServiceState& state, Clock& clock, RunToken token, const QSqlDatabase& paramsDb,
                 QString sourceConnection);

    const RunParameters& params() const { return params_; }

    // Asks the main thread to run Stop and waits for it; set by the creator.
    std::function<void()> stopService;

    // What the worker refers to (state, clock, output), shared with its creator so
    // that an exit that gives up on a stuck worker cannot free it under the worker.
    // Let go when the worker ends.
    std::shared_ptr<const void> keepAlive;

    // Where tickets print; the printers themselves unless the creator hands printing
    // to the main thread. Must outlive the worker.
    void setOutput(TicketOutput* output) { output_ = output ? output : &printers_; }

    // One cycle on `db`; false when the run was found over. Errors throw.
    bool runCycle(const QSqlDatabase& db);

    // One intake pass followed by its commit; false when the run was found over.
    bool runPass(const QSqlDatabase& db, IntakePass pass);

    // Test seam: runs inside each ticket's commit before its first write.
    std::function<void(const TDishRecord&)> beforeTicketWrites;

protected:
    void run() override;  // Execute

private:
    bool PrintQueue(const QSqlDatabase& db);
    std::function<void(const QString&)> tracer() const;

    ServiceState& state_;
    Clock& clock_;
    RunToken token_;
    RunParameters params_;
    QString appDir_;
    QString sourceConnection_;
    TicketArrays arrays_;
    PrinterOutput printers_;
    TicketOutput* output_ = &printers_;
    report::Report report_;  // the worker's report object
};

}  // namespace cookhub
