#include "ArgumentLine.h"

#include <QByteArray>
#include <QTextBoundaryFinder>

#include <exception>

namespace {

class ArgumentParsingError : public std::exception {
public:
    static ArgumentParsingError unclosedQuote(QStringView quote)
    {
        return ArgumentParsingError(QStringLiteral("Missing closing ") + quote.toString() + QStringLiteral(" quote."));
    }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    explicit ArgumentParsingError(const QString &description) : m_what(description.toUtf8()) { }
    QByteArray m_what;
};

} // namespace

QStringList parseArgumentLine(const QString &line)
{
    QStringList words;
    QString current;
    // A word has begun once anything of it was read, an opening quote included: "" is an empty argument.
    bool inWord = false;
    QStringView openQuote;
    bool pendingEscape = false;

    // User-perceived characters: "\r\n" is one, and not a separator; a quote with a combining mark is
    // no quote.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, line);
    qsizetype start = 0;
    for (qsizetype end = finder.toNextBoundary(); end >= 0; end = finder.toNextBoundary()) {
        const QStringView character = QStringView(line).mid(start, end - start);
        start = end;
        if (character.isEmpty())
            continue;
        if (pendingEscape) {
            current += character;
            inWord = true;
            pendingEscape = false;
        } else if (character == u"\\") {
            pendingEscape = true;
        } else if (!openQuote.isEmpty()) {
            if (character == openQuote)
                openQuote = QStringView();
            else
                current += character;
        } else if (character == u"\"" || character == u"'") {
            openQuote = character;
            inWord = true;
        } else if (character == u" " || character == u"\t" || character == u"\n") {
            if (inWord) {
                words << current;
                current.clear();
                inWord = false;
            }
        } else {
            current += character;
            inWord = true;
        }
    }
    if (pendingEscape) {
        current += u'\\';
        inWord = true;
    }
    if (!openQuote.isEmpty())
        throw ArgumentParsingError::unclosedQuote(openQuote);
    if (inWord)
        words << current;
    return words;
}
