// A small restaurant in a real SQLite POS database, with its queue tables, for the
// engine's tests: stations, dishes, routes and order lines are added by each test,
// and the queued tickets are read back whole.
#pragma once

#include "engine/print_worker.h"
#include "engine/test_support/pos_database.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace cookhub::test {

struct OrderLine {
    QString bill = QStringLiteral("B1");
    QString table = QStringLiteral("T1");
    QString dish;
    double num = 1;
    double price = 10;
    double addPrice = 0;
    int discount = 100;
    int discount2 = 100;
    QString present = QStringLiteral("N");
    QString cancel = QStringLiteral("N");
    QString togo;
    QString memo;
    QString reason;
    int minutesAgo = 5;
    QString printFlag = QStringLiteral("N");
    QString outFlag = QStringLiteral("N");
    QString barcode;
    QString oldTable;
    QString operId = QStringLiteral("1");
};

struct QueuedLine {
    QString dishName, unit, memo, reason, spec, oldTableNo, oldTableName, dishNo;
    double nums = 0, price = 0, addPrice = 0;
};

struct QueuedTicket {
    QString printId, title, tableNo, oldTableNo, billNo, station, printName, printName2,
        printName3, isPrint, sPath, bakPrinter, op;
    bool printName2Null = true, printName3Null = true, oldTableNoNull = true;
    double allMoney = 0, inMoney = 0;
    std::vector<QueuedLine> lines;
    QStringList dishNames() const;
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    bool sql(const QString& statement);
    void station(int id, const QString& name, int type, int printers = 1,
                 const QString& printer = QString());
    void dish(const QString& no, const QString& name, const QString& type = QStringLiteral("01"),
              const QString& series = QStringLiteral("01"));
    // Station routes: 0 means none.
    void route(const QString& dish, int orderStation, int outputStation = 0, int orderArea = 0,
               int outputArea = 0);
    int order(const OrderLine& line);  // returns int_flowid
    QString flag(int flowId, const QString& column = QStringLiteral("ch_printflag"));

    std::vector<QueuedTicket> tickets();
    int childRows();

    void writeSetting(const QString& key, const QString& value);
    // The texts of the trace file's lines, without their date-time.
    QStringList traceLines() const;
    std::unique_ptr<TPrintThread> makeWorker();
    void runPass(IntakePass pass);
    void runAllPasses();

    PosHome home{PosHome::Content::Schema};
    QString connection;
    QSqlDatabase db;
    ManualClock clock{QDateTime(QDate(2026, 12, 11), QTime(12, 0))};
    ServiceState state;
    std::unique_ptr<TPrintThread> worker;
};

}  // namespace cookhub::test
