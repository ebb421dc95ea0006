#include "SchoolSettings.h"

#include "Connection.h"
#include "DbError.h"
#include "Value.h"

namespace store {

QString SchoolSettings::statement() { return QStringLiteral("select * from 系统设置表 where 编号=1"); }

SchoolSettings SchoolSettings::read(Connection& db)
{
    SchoolSettings settings;
    try {
        const Connection::Rows rows = db.select(QStringLiteral("select 学校名称, 签发单位 from 系统设置表 where 编号=1"));
        if (!rows.rows.isEmpty()) {
            settings.school = displayText(rows.rows[0].value(0)).trimmed();
            settings.office = displayText(rows.rows[0].value(1)).trimmed();
        }
    } catch (const DbError& error) {
        // A database older than the table (orlenta-db init --if-missing adds it); a lost
        // server is told as it is.
        if (!error.isRefusal())
            throw;
    }
    return settings;
}

} // namespace store
