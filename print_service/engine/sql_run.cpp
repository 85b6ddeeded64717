#include "sql_run.h"

#include "platform/sql_dialect.h"

#include <QSqlError>

namespace cookhub {

SqlFailure::SqlFailure(const QString& statement, const QString& message)
    : std::runtime_error((message + QStringLiteral(" [") + statement + u']').toStdString()),
      statement_(statement),
      message_(message)
{
}

void runSql(QSqlQuery& query, const QString& sql)
{
    query.finish();
    if (!query.exec(SqlDialect::forDriver(query.driver()).adapt(sql)))
        throw SqlFailure(sql, query.lastError().text());
}

}  // namespace cookhub
