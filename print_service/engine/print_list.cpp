#include "print_list.h"

namespace cookhub {

std::vector<TPrintList> PrintListStore::snapshot() const
{
    QMutexLocker lock(&mutex_);
    return entries_;
}

size_t PrintListStore::size() const
{
    QMutexLocker lock(&mutex_);
    return entries_.size();
}

void PrintListStore::clear()
{
    QMutexLocker lock(&mutex_);
    entries_.clear();
}

void PrintListStore::clearNames()
{
    QMutexLocker lock(&mutex_);
    for (TPrintList& entry : entries_) {
        entry.PrinterName.clear();
        entry.BackupName.clear();
    }
}

void PrintListStore::setFault(const QString& printerName, bool fault)
{
    QMutexLocker lock(&mutex_);
    for (TPrintList& entry : entries_) {
        if (entry.PrinterName == printerName) {
            entry.Fault = fault ? 1 : 0;
            return;
        }
    }
    TPrintList entry;
    entry.PrinterName = printerName;
    entry.Fault = fault ? 1 : 0;
    entries_.push_back(entry);
}

bool PrintListStore::setBackup(size_t index, const QString& printerName,
                               const QString& backupName, int backupIndex)
{
    QMutexLocker lock(&mutex_);
    if (index >= entries_.size())
        return false;
    entries_[index].PrinterName = printerName;
    entries_[index].BackupName = backupName;
    entries_[index].PrinterIndex = backupIndex;
    return true;
}

}  // namespace cookhub
