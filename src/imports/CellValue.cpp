#include "CellValue.h"

#include "store/Sql.h"

#include <QRegularExpression>
#include <cmath>

namespace imports::CellValue {

QString text(const QVariant& cell)
{
    switch (cell.typeId()) {
    case QMetaType::Double: {
        const double v = cell.toDouble();
        if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
            return QString::number(qint64(v));
        return QString::number(v, 'g', 15);
    }
    case QMetaType::QDate: return store::Sql::dateText(cell.toDate());
    case QMetaType::Bool: return cell.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    default: return cell.toString().trimmed();
    }
}

std::optional<QDate> date(const QVariant& cell)
{
    if (cell.typeId() == QMetaType::QDate)
        return cell.toDate().isValid() ? std::optional<QDate>(cell.toDate()) : std::nullopt;
    const QString t = text(cell);
    static const QRegularExpression forms(QStringLiteral(
        "^([0-9]{4})\\s*(?:[-/.]\\s*([0-9]{1,2})\\s*[-/.]\\s*([0-9]{1,2})|年\\s*([0-9]{1,2})\\s*月\\s*([0-9]{1,2})\\s*日?"
        "|([0-9]{2})([0-9]{2}))(?:[ T]0{1,2}:00(?::00(?:\\.0+)?)?)?$"));
    const auto m = forms.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const int year = m.captured(1).toInt();
    int month = 0, day = 0;
    for (int at : { 2, 4, 6 })
        if (m.capturedLength(at) > 0) {
            month = m.captured(at).toInt();
            day = m.captured(at + 1).toInt();
        }
    const QDate d(year, month, day);
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

std::optional<double> number(const QVariant& cell)
{
    if (cell.typeId() == QMetaType::Double) {
        const double v = cell.toDouble();
        return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    }
    if (cell.typeId() != QMetaType::QString)
        return std::nullopt;
    // Full-width digits, as a Chinese input method types them, count as digits.
    QString t = cell.toString().trimmed();
    for (QChar& c : t)
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
            c = QChar(u'0' + (c.unicode() - 0xFF10));
        else if (c.unicode() == 0xFF0E)
            c = u'.';
    static const QRegularExpression plain(QStringLiteral("^[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!plain.match(t).hasMatch())
        return std::nullopt;
    return t.toDouble();
}

} // namespace imports::CellValue
