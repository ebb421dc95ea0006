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

namespace {

// Reads up to `most` digits at `at`; -1 when there is none.
int digits(QStringView t, qsizetype& at, int most)
{
    int value = 0, n = 0;
    while (at < t.size() && n < most && t[at] >= u'0' && t[at] <= u'9') {
        value = value * 10 + (t[at].unicode() - u'0');
        ++at;
        ++n;
    }
    return n ? value : -1;
}

// The common forms without a regular expression (a file has a date on every row): 2006-5-19,
// 2006/05/19, 2006.5.19. Nothing when the text has another form.
std::optional<QDate> plainDate(QStringView t)
{
    qsizetype at = 0;
    const int year = digits(t, at, 4);
    if (at != 4 || year < 0 || at >= t.size())
        return std::nullopt;
    const QChar separator = t[at++];
    if (separator != u'-' && separator != u'/' && separator != u'.')
        return std::nullopt;
    const int month = digits(t, at, 2);
    if (month < 0 || at >= t.size() || t[at++] != separator)
        return std::nullopt;
    const int day = digits(t, at, 2);
    if (day < 0 || at != t.size())
        return std::nullopt;
    return QDate(year, month, day);
}

} // namespace

std::optional<QDate> date(const QVariant& cell)
{
    if (cell.typeId() == QMetaType::QDate)
        return cell.toDate().isValid() ? std::optional<QDate>(cell.toDate()) : std::nullopt;
    const QString t = text(cell);
    if (const auto plain = plainDate(t))
        return plain->isValid() ? plain : std::nullopt;
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
    // Plain digits with at most one decimal point, the form of nearly every score.
    {
        const QString plain = cell.toString().trimmed();
        bool simple = !plain.isEmpty();
        int points = 0;
        for (QChar c : plain)
            if (c == u'.')
                ++points;
            else if (c < u'0' || c > u'9')
                simple = false;
        if (simple && points <= 1 && plain != u'.') {
            bool ok = false;
            const double v = plain.toDouble(&ok);
            if (ok)
                return v;
        }
    }
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
