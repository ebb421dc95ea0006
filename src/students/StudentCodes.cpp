#include "StudentCodes.h"

#include "store/Connection.h"
#include "store/DataControl.h"
#include "store/DbError.h"
#include "store/Sql.h"

#include <QComboBox>
#include <QLineEdit>
#include <limits>

namespace StudentCodes {

int lookUp(store::DataControl* rs, const QString& statementHead, const QString& fullName, const QString& codeField,
    const QString& missing)
{
    rs->setRecordSource(statementHead + store::Sql::quote(fullName));
    rs->refresh();
    if (rs->currentRow() < 0)
        throw store::DbError(missing);
    // The literal of a 16-bit column refuses what does not fit, as the conversion did.
    return store::Sql::literal(rs->field(codeField), store::ColumnType::SmallInt).toInt();
}

QString chooseFrom(const QString& list, const QString& what)
{
    return QStringLiteral("请在“%1”列表中选择%2!").arg(list, what);
}

bool numberTaken(store::Connection& connection, const QString& number)
{
    const auto result = connection.select(
        QStringLiteral("select count(*) from 学生个人信息表 where 学号=") + store::Sql::quote(number));
    return !result.rows.isEmpty() && result.rows[0].value(0).toInt() > 0;
}

QString numberTakenText(const QString& number)
{
    return QStringLiteral("学号为“%1”的学生已经存在,不能重复保存!信息未保存。").arg(number);
}

QString notSaved(const QString& reason) { return reason + QStringLiteral("\n信息未保存。"); }


} // namespace StudentCodes
