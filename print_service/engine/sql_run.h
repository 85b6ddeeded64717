// Running a statement the way the print engine expects: a failure is an exception
// carrying the statement and the driver's message, caught where the design decides.
#pragma once

#include <QSqlQuery>
#include <QString>

#include <stdexcept>

namespace cookhub {

class SqlFailure : public std::runtime_error {
public:
    SqlFailure(const QString& statement, const QString& message);
    QString statement() const { return statement_; }
    QString message() const { return message_; }

private:
    QString statement_;
    QString message_;
};

// Closes whatever `query` held, then runs `sql` in the terms of the query's engine; throws SqlFailure when it fails.
void runSql(QSqlQuery& query, const QString& sql);

}  // namespace cookhub
