#include "print_list.h"

#include <algorithm>

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
        entry.Address.clear();
        entry.Condition.clear();
    }
}

void PrintListStore::setStatus(const QString& printerName, bool fault, const QString& condition,
                               const std::optional<QString>& address)
{
    QMutexLocker lock(&mutex_);
    auto entry = std::find_if(entries_.begin(), entries_.end(),
                              [&](const TPrintList& e) { return e.PrinterName == printerName; });
    if (entry == entries_.end()) {
        entries_.emplace_back();
        entry = std::prev(entries_.end());
        entry->PrinterName = printerName;
    }
    entry->Fault = fault ? 1 : 0;
    entry->Condition = condition;
    if (address)
        entry->Address = *address;
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
