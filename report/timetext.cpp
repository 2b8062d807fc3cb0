#include "report/timetext.h"

#include <QList>

namespace qova::report {

namespace {

struct Token {
    enum Kind { Field, Quoted, Literal } kind;
    QString text; // as written in the pattern, quotes included
};

QList<Token> tokenize(const QString &pattern)
{
    QList<Token> tokens;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        qsizetype end = i + 1;
        Token::Kind kind = Token::Literal;
        if (c == QLatin1Char('\'')) {
            kind = Token::Quoted;
            // "''" inside quotes is one quote; an unclosed quote runs to the end.
            while (end < pattern.size()) {
                if (pattern[end] == QLatin1Char('\'')) {
                    if (end + 1 < pattern.size() && pattern[end + 1] == QLatin1Char('\'')) {
                        end += 2;
                        continue;
                    }
                    ++end;
                    break;
                }
                ++end;
            }
        } else if (c.isLetter()) {
            kind = Token::Field;
            while (end < pattern.size() && pattern[end] == c)
                ++end;
        }
        tokens.append({kind, pattern.mid(i, end - i)});
        i = end;
    }
    return tokens;
}

bool isZone(const Token &t)
{
    return t.kind == Token::Field && t.text.front() == QLatin1Char('t');
}

bool isLiteral(const Token &t, QChar c)
{
    return t.kind == Token::Literal && t.text.front() == c;
}

bool isSeparator(const Token &t)
{
    return t.kind == Token::Literal && (t.text.front().isSpace() || t.text.front() == QLatin1Char(','));
}

} // namespace

QString WithoutTimeZone(const QString &pattern)
{
    QList<Token> tokens = tokenize(pattern);
    for (qsizetype i = 0; i < tokens.size();) {
        if (!isZone(tokens[i])) {
            ++i;
            continue;
        }
        qsizetype first = i;
        qsizetype last = i;
        if (first > 0 && last + 1 < tokens.size() &&
            ((isLiteral(tokens[first - 1], QLatin1Char('(')) && isLiteral(tokens[last + 1], QLatin1Char(')'))) ||
             (isLiteral(tokens[first - 1], QLatin1Char('[')) && isLiteral(tokens[last + 1], QLatin1Char(']'))))) {
            --first;
            ++last;
        }
        const qsizetype zoneFirst = first;
        while (first > 0 && isSeparator(tokens[first - 1]))
            --first;
        // A zone that leads keeps nothing between it and the time.
        if (first == zoneFirst)
            while (last + 1 < tokens.size() && isSeparator(tokens[last + 1]))
                ++last;
        tokens.remove(first, last - first + 1);
        i = first;
    }
    QString out;
    for (const Token &t : tokens)
        out += t.text;
    return out;
}

QString ReportTime(const QLocale &locale, const QTime &time)
{
    return locale.toString(time, WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

} // namespace qova::report
