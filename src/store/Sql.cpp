#include "Sql.h"

#include "DbError.h"
#include "Refusal.h"

#include <QDate>
#include <QRegularExpression>
#include <cmath>

namespace store::Sql {

namespace {

bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == '_' || c == '$' || (c.unicode() > 0x7f && !c.isSpace()); }

QString lower(const QString& s, const Token& t) { return s.mid(t.begin, t.length).toLower(); }

// A value the column cannot hold, told by its kind and naming the column where it is known.
[[noreturn]] void refuse(Refusal::Kind kind, const QString& column, ColumnType type)
{
    throw Refusal::of(kind, column, type);
}

// A whole number as the column holds it. A value with a fraction is no whole number: it is
// refused like a text, not rounded (2.5 would be 2 on one engine and 3 on the other).
qint64 toWhole(const QVariant& value, ColumnType type, const QString& column)
{
    const qint64 low = type == ColumnType::SmallInt ? -32768 : -2147483648LL;
    const qint64 high = type == ColumnType::SmallInt ? 32767 : 2147483647LL;
    double number = 0;
    bool ok = true;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool: {
        const qint64 whole = value.toLongLong();
        if (whole < low || whole > high)
            refuse(Refusal::Kind::OutOfRange, column, type);
        return whole;
    }
    case QMetaType::Double:
    case QMetaType::Float: number = value.toDouble(); break;
    default: number = value.toString().trimmed().toDouble(&ok); break;
    }
    if (!ok || !std::isfinite(number) || number != std::trunc(number))
        refuse(Refusal::Kind::WrongType, column, type);
    if (number < double(low) || number > double(high))
        refuse(Refusal::Kind::OutOfRange, column, type);
    return qint64(number);
}

QString literalOf(const QVariant& value, ColumnType type, const QString& column)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (type) {
    case ColumnType::Text:
        if (value.typeId() == QMetaType::QDate)
            return quote(dateText(value.toDate()));
        if (value.typeId() == QMetaType::Double)
            return quote(QString::number(value.toDouble(), 'g', 15));
        return quote(value.toString());
    case ColumnType::SmallInt:
    case ColumnType::Integer: return QString::number(toWhole(value, type, column));
    case ColumnType::Real: {
        bool ok = true;
        const double number = (value.typeId() == QMetaType::QString) ? value.toString().trimmed().toDouble(&ok)
                                                                     : value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            refuse(Refusal::Kind::WrongType, column, type);
        return QString::number(number, 'g', 17);
    }
    case ColumnType::Date: {
        QDate date;
        if (value.typeId() == QMetaType::QDate)
            date = value.toDate();
        else if (value.typeId() == QMetaType::QDateTime)
            date = value.toDateTime().date();
        else
            date = parseDate(value.toString());
        if (!date.isValid())
            refuse(Refusal::Kind::WrongType, column, type);
        return quote(date.toString(QStringLiteral("yyyy-MM-dd")));
    }
    }
    return QStringLiteral("NULL");
}

} // namespace

QString quote(const QString& value)
{
    QString inner = value;
    inner.remove(QChar(0)); // no engine keeps a NUL inside a text literal
    inner.replace('\'', QLatin1String("''"));
    return '\'' + inner + '\'';
}

QString bare(const QString& value)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    return number.match(value).hasMatch() ? value : quote(value);
}

QString dateText(const QDate& date) { return QString("%1-%2-%3").arg(date.year()).arg(date.month()).arg(date.day()); }

QStringList parseArray(const QString& text)
{
    QStringList out;
    const int n = text.size();
    if (n < 2 || text[0] != '{')
        return out;
    int i = 1;
    while (i < n && text[i] != '}') {
        QString element;
        if (text[i] == '"') {
            element.reserve(16); // "" is an empty text, not a null
            for (++i; i < n && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < n)
                    ++i;
                element += text[i];
            }
            ++i; // the closing quote
            out << element;
        } else {
            const int begin = i;
            while (i < n && text[i] != ',' && text[i] != '}')
                ++i;
            element = text.mid(begin, i - begin);
            out << (element == QLatin1String("NULL") ? QString() : element);
        }
        if (i < n && text[i] == ',')
            ++i;
    }
    return out;
}

QDate parseDate(QStringView text)
{
    // The form both engines give (2006-05-19) is read without the pattern below: a large result
    // has a date in every row.
    if (text.size() == 10 && text[4] == u'-' && text[7] == u'-') {
        auto number = [&](int from, int length) {
            int value = 0;
            for (int i = from; i < from + length; ++i) {
                const char16_t c = text[i].unicode();
                if (c < u'0' || c > u'9')
                    return -1;
                value = value * 10 + (c - u'0');
            }
            return value;
        };
        const int year = number(0, 4), month = number(5, 2), day = number(8, 2);
        if (year >= 0 && month >= 0 && day >= 0)
            return QDate(year, month, day);
    }
    static const QRegularExpression form(
        QStringLiteral("^\\s*([0-9]{4})[-/.]([0-9]{1,2})[-/.]([0-9]{1,2})(?:[ T]00:00(?::00(?:\\.0+)?)?)?\\s*$"));
    const auto m = form.match(text);
    if (!m.hasMatch())
        return {};
    return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
}

QString literal(const QVariant& value, ColumnType type) { return literalOf(value, type, QString()); }

QString literal(const QVariant& value, const Column& column) { return literalOf(value, column.type, column.name); }

QVector<Token> tokenize(const QString& s)
{
    QVector<Token> out;
    const int n = s.size();
    int i = 0;
    auto push = [&](Token::Kind kind, int begin) { out.push_back({ kind, begin, i - begin }); };
    while (i < n) {
        const int begin = i;
        const QChar c = s[i];
        if (c.isSpace()) {
            while (i < n && s[i].isSpace())
                ++i;
            push(Token::Space, begin);
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n')
                ++i;
            push(Token::Space, begin);
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            const int end = s.indexOf(QLatin1String("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            push(Token::Space, begin);
        } else if (c == '\'' || c == '"') {
            ++i;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            push(c == '\'' ? Token::String : Token::QuotedName, begin);
        } else if (c.isDigit() || (c == '.' && i + 1 < n && s[i + 1].isDigit())) {
            while (i < n && s[i].isDigit())
                ++i;
            if (i < n && s[i] == '.') {
                ++i;
                while (i < n && s[i].isDigit())
                    ++i;
            }
            if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                int j = i + 1;
                if (j < n && (s[j] == '+' || s[j] == '-'))
                    ++j;
                if (j < n && s[j].isDigit()) {
                    i = j;
                    while (i < n && s[i].isDigit())
                        ++i;
                }
            }
            if (i < n && isWordChar(s[i])) { // "2006级" is a name, not a number
                while (i < n && isWordChar(s[i]))
                    ++i;
                push(Token::Word, begin);
            } else {
                push(Token::Number, begin);
            }
        } else if (isWordChar(c)) {
            while (i < n && isWordChar(s[i]))
                ++i;
            push(Token::Word, begin);
        } else if (c == '(') {
            ++i;
            push(Token::Open, begin);
        } else if (c == ')') {
            ++i;
            push(Token::Close, begin);
        } else if (c == ',') {
            ++i;
            push(Token::Comma, begin);
        } else if (c == ';') {
            ++i;
            push(Token::Semicolon, begin);
        } else if (c == '.') {
            ++i;
            push(Token::Dot, begin);
        } else {
            static const QStringList pairs { "<=", ">=", "<>", "!=", "||", "::", "==" };
            ++i;
            if (i < n && pairs.contains(s.mid(begin, 2)))
                ++i;
            push(Token::Operator, begin);
        }
    }
    return out;
}

namespace {

// The tokens that carry meaning (no blanks or comments), with their nesting depth.
struct Significant {
    QVector<Token> tokens;
    QVector<int> depth;
};

Significant significant(const QString& s)
{
    Significant sig;
    int depth = 0;
    for (const Token& t : tokenize(s)) {
        if (t.kind == Token::Space)
            continue;
        if (t.kind == Token::Close)
            --depth;
        sig.tokens.push_back(t);
        sig.depth.push_back(depth);
        if (t.kind == Token::Open)
            ++depth;
    }
    return sig;
}

QString nameOf(const QString& s, const Token& t)
{
    QString text = s.mid(t.begin, t.length);
    if (t.kind == Token::QuotedName)
        text = text.mid(1, text.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
    return text;
}

bool isName(const Token& t) { return t.kind == Token::Word || t.kind == Token::QuotedName; }

} // namespace

SelectShape analyse(const QString& statement)
{
    SelectShape shape;
    const Significant sig = significant(statement);
    const auto& tk = sig.tokens;
    if (tk.isEmpty() || tk[0].kind != Token::Word)
        return shape;
    const QString first = lower(statement, tk[0]);
    shape.isSelect = first == "select" || first == "with";
    if (!shape.isSelect)
        return shape;

    shape.pageable = true;
    int orderAt = -1;
    for (int i = 0; i < tk.size(); ++i) {
        if (sig.depth[i] != 0 || tk[i].kind != Token::Word)
            continue;
        const QString w = lower(statement, tk[i]);
        if (w == "limit" || w == "offset" || w == "fetch" || w == "for" || w == "into")
            shape.pageable = false;
        if (w == "order" && i + 1 < tk.size() && lower(statement, tk[i + 1]) == "by")
            orderAt = i;
        if (w == "union" || w == "intersect" || w == "except")
            orderAt = -1; // an ORDER BY before a set operator belongs to a part
    }
    if (orderAt >= 0) {
        shape.head = statement.left(tk[orderAt].begin);
        int termBegin = orderAt + 2 < tk.size() ? tk[orderAt + 2].begin : statement.size();
        for (int i = orderAt + 2; i <= tk.size(); ++i) {
            if (i == tk.size() || (sig.depth[i] == 0 && tk[i].kind == Token::Comma)) {
                const int end = (i == tk.size()) ? statement.size() : tk[i].begin;
                const QString term = statement.mid(termBegin, end - termBegin).trimmed();
                if (!term.isEmpty())
                    shape.orderTerms << term;
                if (i < tk.size())
                    termBegin = tk[i].begin + 1;
            }
        }
    } else {
        shape.head = statement;
    }

    // "select * from <table> [[as] alias] [join <table> [as] <alias> on x.c=y.<its key>]...
    // [where ...] [order by ...]": every row of the result is one row of the first table.
    const int headEnd = orderAt >= 0 ? orderAt : tk.size();
    if (first == "select" && headEnd >= 4 && tk[1].kind == Token::Operator && lower(statement, tk[1]) == "*"
        && lower(statement, tk[2]) == "from" && isName(tk[3])) {
        static const QStringList reserved { "where", "join", "inner", "left", "right", "full", "cross", "natural",
            "on", "order", "group", "having", "limit", "offset", "union", "intersect", "except", "window", "as",
            "using", "fetch", "for" };
        auto word = [&](int i) { return i < headEnd && tk[i].kind == Token::Word ? lower(statement, tk[i]) : QString(); };
        // "[as] alias" at i: answers the alias and moves past it.
        auto aliasAt = [&](int& i) {
            if (word(i) == "as" && i + 1 < headEnd && isName(tk[i + 1])) {
                i += 2;
                return nameOf(statement, tk[i - 1]);
            }
            if (i < headEnd && isName(tk[i]) && !reserved.contains(word(i))) {
                ++i;
                return nameOf(statement, tk[i - 1]);
            }
            return QString();
        };
        const Table* table = Schema::table(nameOf(statement, tk[3]));
        int i = 4;
        bool keyed = table != nullptr && !(i < headEnd && tk[i].kind == Token::Dot);
        const QString alias = aliasAt(i);
        const QString firstName = alias.isEmpty() ? nameOf(statement, tk[3]) : alias;
        bool joined = false;
        while (keyed && i < headEnd && word(i) != "where") {
            // [inner | left [outer]] join <table> [as] <alias> on <q>.<c> = <q>.<c>
            if (word(i) == "inner")
                ++i;
            else if (word(i) == "left")
                i += word(i + 1) == "outer" ? 2 : 1;
            if (word(i) != "join" || i + 1 >= headEnd || !isName(tk[i + 1])) {
                keyed = false;
                break;
            }
            const Table* other = Schema::table(nameOf(statement, tk[i + 1]));
            const QString otherTable = nameOf(statement, tk[i + 1]);
            i += 2;
            QString otherAlias = aliasAt(i);
            if (otherAlias.isEmpty())
                otherAlias = otherTable;
            if (!other || word(i) != "on" || i + 7 >= headEnd) {
                keyed = false;
                break;
            }
            // Two qualified columns compared with "=".
            auto qualified = [&](int at, QString& qualifier, QString& column) {
                if (at + 2 >= headEnd || !isName(tk[at]) || tk[at + 1].kind != Token::Dot || !isName(tk[at + 2]))
                    return false;
                qualifier = nameOf(statement, tk[at]);
                column = nameOf(statement, tk[at + 2]);
                return true;
            };
            QString q1, c1, q2, c2;
            if (!qualified(i + 1, q1, c1) || i + 4 >= headEnd || statement.mid(tk[i + 4].begin, tk[i + 4].length) != "="
                || !qualified(i + 5, q2, c2)) {
                keyed = false;
                break;
            }
            auto same = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
            if (same(q1, otherAlias)) {
                std::swap(q1, q2);
                std::swap(c1, c2);
            }
            if (!same(q1, firstName) || !table->column(c1) || !same(q2, otherAlias) || !same(c2, other->key)) {
                keyed = false;
                break;
            }
            joined = true;
            i += 8;
        }
        int whereAt = -1;
        if (keyed && i < headEnd) {
            whereAt = i; // "where"
            static const QStringList breaking { "join", "group", "having", "union", "intersect", "except", "from",
                "window", "distinct" };
            for (int j = i + 1; keyed && j < headEnd; ++j) {
                if (sig.depth[j] != 0)
                    continue;
                if (tk[j].kind == Token::Comma || (tk[j].kind == Token::Word && breaking.contains(lower(statement, tk[j]))))
                    keyed = false;
            }
        }
        if (keyed) {
            shape.table = table;
            shape.alias = alias;
            shape.joined = joined;
            const int fromEnd = whereAt >= 0 ? tk[whereAt].begin : shape.head.size();
            shape.from = statement.mid(tk[3].begin, fromEnd - tk[3].begin).trimmed();
            if (whereAt >= 0)
                shape.where = shape.head.mid(tk[whereAt].begin + tk[whereAt].length).trimmed();
        }
    }
    return shape;
}

QStringList reversedTerms(const QStringList& terms)
{
    QStringList out;
    for (const QString& term : terms) {
        Significant sig = significant(term);
        auto& tk = sig.tokens;
        int end = tk.size();
        QString nulls;
        if (end >= 2 && lower(term, tk[end - 2]) == "nulls") {
            nulls = lower(term, tk[end - 1]) == "first" ? " nulls last" : " nulls first";
            end -= 2;
        }
        QString direction = " desc";
        if (end >= 1 && (lower(term, tk[end - 1]) == "asc" || lower(term, tk[end - 1]) == "desc")) {
            direction = lower(term, tk[end - 1]) == "asc" ? " desc" : " asc";
            --end;
        }
        const int bodyEnd = end > 0 ? tk[end - 1].begin + tk[end - 1].length : 0;
        out << term.left(bodyEnd) + direction + nulls;
    }
    return out;
}

QString adapt(const QString& statement, Engine engine)
{
    const Significant sig = significant(statement);
    const auto& tk = sig.tokens;

    int last = tk.size();
    while (last > 0 && tk[last - 1].kind == Token::Semicolon)
        --last;
    // A trigger's body holds statements of its own, each ending in a semicolon.
    const bool trigger = last >= 2 && lower(statement, tk[0]) == "create" && lower(statement, tk[1]) == "trigger";
    for (int i = 0; i < last && !trigger; ++i)
        if (tk[i].kind == Token::Semicolon)
            throw DbError(QStringLiteral("一次只能执行一条语句。"));

    struct Replacement {
        int begin, length;
        QString text;
    };
    QVector<Replacement> replacements;

    static const QStringList comparisons { "=", "<>", "!=", "<", ">", "<=", ">=" };
    auto columnAt = [&](int i) -> std::optional<ColumnType> {
        if (i < 0 || i >= last || !isName(tk[i]))
            return std::nullopt;
        if (i + 1 < last && tk[i + 1].kind == Token::Dot)
            return std::nullopt; // a qualifier, not the column
        return Schema::typeOfColumn(nameOf(statement, tk[i]));
    };
    // The literal starting at token i (a signed number takes two tokens); rewrites it for the column.
    auto rewriteLiteral = [&](int i, ColumnType type) -> int {
        if (i >= last)
            return 0;
        int begin = tk[i].begin;
        int count = 1;
        QString sign;
        if (tk[i].kind == Token::Operator && statement.mid(tk[i].begin, 1) == "-" && i + 1 < last
            && tk[i + 1].kind == Token::Number) {
            sign = "-";
            ++i;
            count = 2;
        }
        const Token& t = tk[i];
        const QString text = statement.mid(t.begin, t.length);
        if (t.kind == Token::Number && type == ColumnType::Text) {
            replacements.push_back({ begin, t.begin + t.length - begin, quote(sign + text) });
        } else if (t.kind == Token::String && type == ColumnType::Date && engine == Engine::SQLite && sign.isEmpty()) {
            const QString inner = text.mid(1, text.size() - 2);
            const QDate d = parseDate(inner);
            if (d.isValid())
                replacements.push_back({ t.begin, t.length, quote(d.toString(QStringLiteral("yyyy-MM-dd"))) });
        } else if (t.kind != Token::Number && t.kind != Token::String) {
            return 0;
        }
        return count;
    };

    for (int i = 0; i < last; ++i) {
        if (const auto type = columnAt(i)) {
            if (i + 1 >= last)
                continue;
            const QString op = lower(statement, tk[i + 1]);
            if (tk[i + 1].kind == Token::Operator && comparisons.contains(op)) {
                rewriteLiteral(i + 2, *type);
            } else if (op == "between" || (op == "not" && i + 2 < last && lower(statement, tk[i + 2]) == "between")) {
                int j = i + (op == "not" ? 3 : 2);
                const int used = rewriteLiteral(j, *type);
                if (used > 0 && j + used < last && lower(statement, tk[j + used]) == "and")
                    rewriteLiteral(j + used + 1, *type);
            } else if (op == "in" || (op == "not" && i + 2 < last && lower(statement, tk[i + 2]) == "in")) {
                int j = i + (op == "not" ? 3 : 2);
                if (j < last && tk[j].kind == Token::Open) {
                    for (++j; j < last && tk[j].kind != Token::Close; ++j)
                        if (tk[j].kind != Token::Comma)
                            j += std::max(0, rewriteLiteral(j, *type) - 1);
                }
            }
        } else if ((tk[i].kind == Token::Number || tk[i].kind == Token::String) && i + 2 < last
            && tk[i + 1].kind == Token::Operator && comparisons.contains(lower(statement, tk[i + 1]))) {
            if (const auto other = columnAt(i + 2); other && (i == 0 || tk[i - 1].kind != Token::Operator))
                rewriteLiteral(i, *other);
        }
    }

    QString out = statement.left(last > 0 ? tk[last - 1].begin + tk[last - 1].length : 0);
    if (last == tk.size())
        out = statement; // keep trailing blanks as written
    std::sort(replacements.begin(), replacements.end(),
        [](const Replacement& a, const Replacement& b) { return a.begin > b.begin; });
    replacements.erase(std::unique(replacements.begin(), replacements.end(),
                           [](const Replacement& a, const Replacement& b) { return a.begin == b.begin; }),
        replacements.end());
    for (const Replacement& r : replacements)
        out.replace(r.begin, r.length, r.text);
    return out;
}

} // namespace store::Sql
