#include "key_expression.h"

#include "codepage.h"
#include "error.h"
#include "field_codec.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace xbase {

enum class ValueType { Character, Numeric, Date };

struct KeyExpression::Node {
    enum class Kind { Field, Text, Number, Concat, Add, Substr, Str, Upper, Dtos, Val };
    Kind kind = Kind::Field;
    ValueType type = ValueType::Character;
    int length = 0;    // static length of a character value
    FieldDef field;    // Field
    QByteArray text;   // Text
    double number = 0; // Number
    int start = 0;     // Substr: 0-based; Str: decimals
    std::vector<std::unique_ptr<Node>> args;
};

namespace {

using Node = KeyExpression::Node;
using Kind = Node::Kind;

constexpr int kMaxCharacterKey = 100;

// Letters of cp866 to capitals: ASCII, а..п, р..я, ё.
char upperOem(char c) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'a' && b <= 'z')
        return static_cast<char>(b - 32);
    if (b >= 0xA0 && b <= 0xAF)
        return static_cast<char>(b - 0x20);
    if (b >= 0xE0 && b <= 0xEF)
        return static_cast<char>(b - 0x50);
    if (b == 0xF1)
        return static_cast<char>(0xF0);
    return c;
}

// The number in a numeric field's bytes; blank or invalid is 0.
double fieldNumber(const char* p, int n) {
    const char* e = p + n;
    while (p < e && (*p == ' ' || *p == '\0'))
        ++p;
    while (e > p && (e[-1] == ' ' || e[-1] == '\0'))
        --e;
    if (p < e && *p == '+')
        ++p;
    double v = 0;
    const auto r = std::from_chars(p, e, v, std::chars_format::fixed);
    return (r.ec == std::errc() && r.ptr == e) ? v : 0.0;
}

// Val(): leading blanks, optional sign, digits, optional '.' and digits; the first
// other character ends it.
double valueOf(std::string_view t) {
    std::size_t i = 0;
    while (i < t.size() && t[i] == ' ')
        ++i;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    std::size_t end = i;
    while (end < t.size() && t[end] >= '0' && t[end] <= '9')
        ++end;
    if (end < t.size() && t[end] == '.') {
        ++end;
        while (end < t.size() && t[end] >= '0' && t[end] <= '9')
            ++end;
    }
    double v = 0;
    std::from_chars(t.data() + i, t.data() + end, v, std::chars_format::fixed);
    return negative ? -v : v;
}

// Str(): rounded half away from zero to `dec` decimals, right-aligned in `len`
// characters; asterisks when it does not fit.
void appendStr(double v, int len, int dec, std::string& out) {
    char buf[400];
    int n = 0;
    const double scale = std::pow(10.0, dec);
    double rounded = std::round(v * scale) / scale;
    if (rounded == 0.0)
        rounded = 0.0; // no "-0"
    if (dec == 0 && std::fabs(rounded) < 9.0e18) {
        n = static_cast<int>(
            std::to_chars(buf, buf + sizeof buf, static_cast<long long>(rounded)).ptr - buf);
    } else if (std::isfinite(rounded) && std::fabs(rounded) < 1.0e300) {
        n = std::snprintf(buf, sizeof buf, "%.*f", dec, rounded);
    } else {
        n = len + 1;
    }
    if (n > len) {
        out.append(static_cast<std::size_t>(len), '*');
        return;
    }
    out.append(static_cast<std::size_t>(len - n), ' ');
    out.append(buf, static_cast<std::size_t>(n));
}

double evalNumber(const Node& node, const char* record);

QDate evalDate(const Node& node, const char* record) {
    return decodeDate(QByteArrayView(record + node.field.offset, node.field.length));
}

// Appends exactly node.length bytes.
void evalText(const Node& node, const char* record, std::string& out) {
    switch (node.kind) {
    case Kind::Field:
        out.append(record + node.field.offset, static_cast<std::size_t>(node.field.length));
        return;
    case Kind::Text:
        out.append(node.text.constData(), static_cast<std::size_t>(node.text.size()));
        return;
    case Kind::Concat:
        for (const auto& a : node.args)
            evalText(*a, record, out);
        return;
    case Kind::Substr: {
        const std::size_t at = out.size();
        evalText(*node.args[0], record, out);
        out.erase(at, static_cast<std::size_t>(node.start));
        out.resize(at + static_cast<std::size_t>(node.length));
        return;
    }
    case Kind::Str:
        appendStr(evalNumber(*node.args[0], record), node.length, node.start, out);
        return;
    case Kind::Upper: {
        const std::size_t at = out.size();
        evalText(*node.args[0], record, out);
        for (std::size_t i = at; i < out.size(); ++i)
            out[i] = upperOem(out[i]);
        return;
    }
    case Kind::Dtos: {
        const QDate d = evalDate(*node.args[0], record);
        if (d.isValid())
            out.append(d.toString(QStringLiteral("yyyyMMdd")).toLatin1().constData(), 8);
        else
            out.append(8, ' ');
        return;
    }
    case Kind::Number:
    case Kind::Add:
    case Kind::Val:
        break;
    }
}

double evalNumber(const Node& node, const char* record) {
    switch (node.kind) {
    case Kind::Field:
        return fieldNumber(record + node.field.offset, node.field.length);
    case Kind::Number:
        return node.number;
    case Kind::Add: {
        double sum = 0;
        for (const auto& a : node.args)
            sum += evalNumber(*a, record);
        return sum;
    }
    case Kind::Val: {
        std::string t;
        evalText(*node.args[0], record, t);
        return valueOf(t);
    }
    default:
        return 0;
    }
}

class Parser {
public:
    Parser(const QString& text, const std::vector<FieldDef>& fields)
        : m_text(text), m_fields(fields) {}

    std::unique_ptr<Node> parseAll() {
        auto node = expr();
        skipBlanks();
        if (m_pos < m_text.size())
            fail(QStringLiteral("лишний текст после выражения"));
        return node;
    }

    [[noreturn]] void fail(const QString& what) const { failAt(m_pos, what); }

    [[noreturn]] void failAt(qsizetype pos, const QString& what) const {
        throw Error(QStringLiteral("Ошибка в выражении ключа «%1», позиция %2: %3")
                        .arg(m_text)
                        .arg(pos + 1)
                        .arg(what));
    }

private:
    void skipBlanks() {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    bool accept(QChar c) {
        skipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    void expect(QChar c) {
        if (!accept(c))
            fail(QStringLiteral("ожидается «%1»").arg(c));
    }

    std::unique_ptr<Node> expr() {
        skipBlanks();
        const qsizetype start = m_pos;
        auto first = term();
        if (!accept(QLatin1Char('+')))
            return first;
        auto node = std::make_unique<Node>();
        node->type = first->type;
        node->kind = first->type == ValueType::Numeric ? Kind::Add : Kind::Concat;
        if (first->type == ValueType::Date)
            failAt(start, QStringLiteral("даты нельзя складывать"));
        node->args.push_back(std::move(first));
        do {
            skipBlanks();
            const qsizetype at = m_pos;
            auto next = term();
            if (next->type != node->type)
                failAt(at, QStringLiteral("«+» соединяет значения разных типов"));
            node->args.push_back(std::move(next));
        } while (accept(QLatin1Char('+')));
        if (node->type == ValueType::Character) {
            for (const auto& a : node->args)
                node->length += a->length;
        }
        return node;
    }

    QString name() {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() &&
               (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == QLatin1Char('_')))
            ++m_pos;
        return m_text.mid(start, m_pos - start);
    }

    std::unique_ptr<Node> term() {
        skipBlanks();
        if (m_pos >= m_text.size())
            fail(QStringLiteral("выражение обрывается"));
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char('(')) {
            ++m_pos;
            auto inner = expr();
            expect(QLatin1Char(')'));
            return inner;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\''))
            return literalText(c);
        if (c.isDigit() || c == QLatin1Char('.'))
            return literalNumber();
        if (!c.isLetter() && c != QLatin1Char('_'))
            fail(QStringLiteral("неожиданный символ «%1»").arg(c));
        const qsizetype start = m_pos;
        QString n = name();
        skipBlanks();
        if (m_text.mid(m_pos, 2) == QLatin1String("->")) {
            m_pos += 2;
            skipBlanks();
            n = name(); // the alias names this table
        } else if (accept(QLatin1Char('('))) {
            return call(n.toUpper(), start);
        }
        return fieldNode(n, start);
    }

    std::unique_ptr<Node> literalText(QChar quote) {
        const qsizetype start = m_pos++;
        const qsizetype end = m_text.indexOf(quote, m_pos);
        if (end < 0)
            failAt(start, QStringLiteral("строка не закрыта кавычкой"));
        auto node = std::make_unique<Node>();
        node->kind = Kind::Text;
        node->text = toOem(QStringView(m_text).mid(m_pos, end - m_pos));
        node->length = static_cast<int>(node->text.size());
        m_pos = end + 1;
        return node;
    }

    std::unique_ptr<Node> literalNumber() {
        const qsizetype start = m_pos;
        while (m_pos < m_text.size() && (m_text[m_pos].isDigit() || m_text[m_pos] == '.'))
            ++m_pos;
        bool ok = false;
        auto node = std::make_unique<Node>();
        node->kind = Kind::Number;
        node->type = ValueType::Numeric;
        node->number = m_text.mid(start, m_pos - start).toDouble(&ok);
        if (!ok)
            failAt(start, QStringLiteral("неверное число"));
        return node;
    }

    std::unique_ptr<Node> fieldNode(const QString& n, qsizetype at) {
        for (const FieldDef& f : m_fields) {
            if (f.name.compare(n, Qt::CaseInsensitive) != 0)
                continue;
            auto node = std::make_unique<Node>();
            node->kind = Kind::Field;
            node->field = f;
            switch (f.type) {
            case FieldType::Character:
                node->type = ValueType::Character;
                node->length = f.length;
                return node;
            case FieldType::Numeric:
            case FieldType::Float:
                node->type = ValueType::Numeric;
                return node;
            case FieldType::Date:
                node->type = ValueType::Date;
                return node;
            case FieldType::Logical:
            case FieldType::Memo:
                break;
            }
            failAt(at, QStringLiteral("поле %1 этого типа не может входить в ключ").arg(f.name));
        }
        failAt(at, QStringLiteral("в таблице нет поля %1").arg(n));
    }

    // A number constant argument (Substr's positions, Str's widths).
    int constant(const std::unique_ptr<Node>& arg, qsizetype at, int min, int max) {
        if (arg->kind != Kind::Number || arg->number != std::trunc(arg->number) ||
            arg->number < min || arg->number > max)
            failAt(at, QStringLiteral("здесь нужно целое число от %1 до %2").arg(min).arg(max));
        return static_cast<int>(arg->number);
    }

    std::unique_ptr<Node> call(const QString& fn, qsizetype at) {
        std::vector<std::unique_ptr<Node>> args;
        std::vector<qsizetype> positions;
        if (!accept(QLatin1Char(')'))) {
            do {
                skipBlanks();
                positions.push_back(m_pos);
                args.push_back(expr());
            } while (accept(QLatin1Char(',')));
            expect(QLatin1Char(')'));
        }
        const auto arity = [&](std::size_t min, std::size_t max) {
            if (args.size() < min || args.size() > max)
                failAt(at, QStringLiteral("у функции %1 неверное число аргументов").arg(fn));
        };
        const auto argType = [&](std::size_t i, ValueType t) {
            if (args[i]->type != t)
                failAt(positions[i], QStringLiteral("аргумент функции %1 неверного типа").arg(fn));
        };
        auto node = std::make_unique<Node>();
        if (fn == QLatin1String("SUBSTR")) {
            arity(2, 3);
            argType(0, ValueType::Character);
            const int len = args[0]->length;
            const int start = constant(args[1], positions[1], 1, 255);
            int count = std::max(0, len - start + 1);
            if (args.size() == 3)
                count = std::min(count, constant(args[2], positions[2], 0, 255));
            node->kind = Kind::Substr;
            node->start = std::min(start - 1, len);
            node->length = count;
        } else if (fn == QLatin1String("STR")) {
            arity(1, 3);
            argType(0, ValueType::Numeric);
            node->kind = Kind::Str;
            node->length = args.size() > 1 ? constant(args[1], positions[1], 1, 255) : 10;
            node->start = args.size() > 2 ? constant(args[2], positions[2], 0, 15) : 0;
        } else if (fn == QLatin1String("UPPER")) {
            arity(1, 1);
            argType(0, ValueType::Character);
            node->kind = Kind::Upper;
            node->length = args[0]->length;
        } else if (fn == QLatin1String("DTOS")) {
            arity(1, 1);
            argType(0, ValueType::Date);
            if (args[0]->kind != Kind::Field)
                failAt(positions[0], QStringLiteral("функции DTOS нужно поле даты"));
            node->kind = Kind::Dtos;
            node->length = 8;
        } else if (fn == QLatin1String("VAL")) {
            arity(1, 1);
            argType(0, ValueType::Character);
            node->kind = Kind::Val;
            node->type = ValueType::Numeric;
        } else {
            failAt(at, QStringLiteral("неизвестная функция %1").arg(fn));
        }
        node->args = std::move(args);
        return node;
    }

    const QString& m_text;
    const std::vector<FieldDef>& m_fields;
    qsizetype m_pos = 0;
};

} // namespace

KeyExpression KeyExpression::compile(const QString& text, const std::vector<FieldDef>& fields) {
    Parser parser(text, fields);
    std::unique_ptr<Node> root = parser.parseAll();
    KeyExpression e;
    e.m_text = text;
    switch (root->type) {
    case ValueType::Character:
        if (root->length < 1 || root->length > kMaxCharacterKey)
            parser.failAt(0, QStringLiteral("длина ключа %1, а допустимо от 1 до %2")
                                 .arg(root->length)
                                 .arg(kMaxCharacterKey));
        e.m_type = KeyType::Character;
        e.m_length = root->length;
        break;
    case ValueType::Numeric:
        e.m_type = KeyType::Numeric;
        e.m_length = kNumericKeyLength;
        break;
    case ValueType::Date:
        e.m_type = KeyType::Date;
        e.m_length = kDateKeyLength;
        break;
    }
    e.m_root = std::move(root);
    return e;
}

QByteArray KeyExpression::evaluate(const char* record) const {
    switch (m_type) {
    case KeyType::Numeric:
        return encodeNumericKey(evalNumber(*m_root, record));
    case KeyType::Date:
        return encodeDateKey(evalDate(*m_root, record));
    case KeyType::Character:
        break;
    }
    thread_local std::string out;
    out.clear();
    evalText(*m_root, record, out);
    return QByteArray(out.data(), static_cast<qsizetype>(out.size()));
}

} // namespace xbase
