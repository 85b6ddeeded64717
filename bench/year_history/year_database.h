// The restaurant and the year of history the benchmarks measure against: 20 stations,
// 60 dishes, 40 tables, and at scale 1 a year of 700,000 printed tickets with 2,800,000
// ticket lines and 2,000,000 order lines. Both bench_year_history and
// bench_history_window build their databases here, so they measure the same thing.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

namespace cookhub::bench {

// Runs one statement; false (with the error on standard error) when it fails.
bool exec(const QSqlDatabase& db, const QString& sql);

// Makes `file` in `home` with the POS schema and the restaurant, opens it as the
// connection `connection` and brings the queue tables up to date; with `history`, adds
// a year of history at `scale`, said on standard output. False on any failure.
bool makeBenchDatabase(const QString& home, const QString& file, const QString& connection,
                       bool history, const QDateTime& now, double scale);

}  // namespace cookhub::bench
