// The station printers the status monitor has seen, shared by three threads.
//
// The monitor appends and flags entries, the main window paints and sets backups, the
// worker reads backups. Every access takes the lock and readers get copies, so the
// array never changes under a reader while it grows.
#pragma once

#include "records.h"

#include <QMutex>

#include <optional>
#include <vector>

namespace cookhub {

class PrintListStore {
public:
    std::vector<TPrintList> snapshot() const;
    size_t size() const;

    // Start: the list is emptied.
    void clear();
    // Stop: every entry keeps its fault flag and loses both names (and the address
    // and condition that belong to the name).
    void clearNames();

    // The monitor's result for one station: the first entry of that printer name gets
    // the flag, or a new entry is appended.
    void setFault(const QString& printerName, bool fault);
    // The same with the printer's condition; the address is set only when given.
    void setStatus(const QString& printerName, bool fault, const QString& condition,
                   const std::optional<QString>& address);

    // The operator's backup choice for entry `index`; false when there is no such entry.
    bool setBackup(size_t index, const QString& printerName, const QString& backupName,
                   int backupIndex);

private:
    mutable QMutex mutex_;
    std::vector<TPrintList> entries_;
};

}  // namespace cookhub
