#include "ui/diff/DiffLayout.h"

#include "parsers/UnifiedDiffParser.h"
#include "ui/kit/Theme.h"

#include <QFontMetricsF>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

char32_t pictureOf(char32_t character, bool last)
{
    if (character == u'\r' && last)
        return 0;
    if (character < 0x20)
        return 0x2400 + character;
    if (character == 0x7F)
        return 0x2421;
    if (character == 0x85 || character == 0x2028 || character == 0x2029)
        return 0x2424;
    if (character >= 0x80 && character < 0xA0)
        return 0xFFFD;
    return character;
}

} // namespace

DiffTextMetrics::DiffTextMetrics(const QFont &font) : m_font(font)
{
    // The advance of a long run, not of one glyph, so that a run drawn at column n lands where a whole line
    // drawn from column 0 would put it, whatever rounding the font engine applies.
    const QFontMetricsF metrics(font);
    constexpr int sample = 64;
    m_cell = metrics.horizontalAdvance(QString(sample, u'M')) / sample;
}

bool DiffTextMetrics::isPlain(QStringView text)
{
    const char16_t *data = text.utf16();
    const qsizetype size = text.size();
    qsizetype at = 0;
#ifdef __SSE2__
    // A character is plain when (c - 0x20) <= 0x5E, unsigned; the saturating subtraction of 0x5E leaves
    // something only for the others. Checked a block at a time, since a long line is nearly always plain.
    const __m128i space = _mm_set1_epi16(0x20);
    const __m128i span = _mm_set1_epi16(0x5E);
    constexpr qsizetype block = 64;
    for (; at + block <= size; at += block) {
        __m128i outside = _mm_setzero_si128();
        for (qsizetype i = 0; i < block; i += 8) {
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + at + i));
            outside = _mm_or_si128(outside, _mm_subs_epu16(_mm_sub_epi16(chunk, space), span));
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(outside, _mm_setzero_si128())) != 0xFFFF)
            return false;
    }
#endif
    for (; at < size; ++at) {
        if (char16_t(data[at] - 0x20) > 0x5E)
            return false;
    }
    return true;
}

QString DiffTextMetrics::singleLine(QStringView text)
{
    if (isPlain(text))
        return text.toString();
    QString result;
    result.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        char32_t character = text[at].unicode();
        if (QChar::isHighSurrogate(character) && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
            result.append(text.mid(at, 2));
            ++at;
            continue;
        }
        if (QChar::isSurrogate(character))
            character = 0xFFFD;
        const char32_t shown = pictureOf(character, at + 1 == text.size());
        if (shown)
            result.append(QChar(char16_t(shown)));
    }
    return result;
}

qreal DiffTextMetrics::advanceOf(char32_t character) const
{
    if (character >= 0x20 && character < 0x7F)
        return m_cell;
    if (const auto found = m_advances.constFind(character); found != m_advances.constEnd())
        return *found;
    const qreal advance = QFontMetricsF(m_font).horizontalAdvance(QString::fromUcs4(&character, 1));
    m_advances.insert(character, advance);
    return advance;
}

template <typename Visit> void DiffTextMetrics::walk(QStringView text, Visit visit) const
{
    const qreal stop = DiffGeometry::tabWidth * m_cell;
    qreal x = 0;
    const qsizetype size = text.size();
    for (qsizetype at = 0; at < size;) {
        char32_t character = text[at].unicode();
        int units = 1;
        if (QChar::isHighSurrogate(character) && at + 1 < size && text[at + 1].isLowSurrogate()) {
            character = QChar::surrogateToUcs4(text[at], text[at + 1]);
            units = 2;
        } else if (QChar::isSurrogate(character)) {
            character = 0xFFFD;
        }
        Step step{at, units, x, 0, 0};
        if (character == u'\t') {
            step.width = (std::floor(x / stop + 1e-6) + 1) * stop - x;
        } else {
            step.shown = pictureOf(character, at + units == size);
            step.width = step.shown ? advanceOf(step.shown) : 0;
        }
        if (!visit(step))
            return;
        x += step.width;
        at += units;
    }
}

qreal DiffTextMetrics::width(QStringView text, bool plain) const
{
    if (plain)
        return text.size() * m_cell;
    // The same placement as walk(), in one tight pass: runs of printable ASCII are counted, not measured.
    const qreal stop = DiffGeometry::tabWidth * m_cell;
    const qsizetype size = text.size();
    qreal x = 0;
    qsizetype cells = 0;
    for (qsizetype at = 0; at < size; ++at) {
        char32_t character = text[at].unicode();
        if (char16_t(character - 0x20) <= 0x5E) {
            ++cells;
            continue;
        }
        x += cells * m_cell;
        cells = 0;
        if (character == u'\t') {
            x = (std::floor(x / stop + 1e-6) + 1) * stop;
            continue;
        }
        qsizetype units = 1;
        if (QChar::isHighSurrogate(character) && at + 1 < size && text[at + 1].isLowSurrogate()) {
            character = QChar::surrogateToUcs4(text[at], text[at + 1]);
            units = 2;
        } else if (QChar::isSurrogate(character)) {
            character = 0xFFFD;
        }
        if (const char32_t shown = pictureOf(character, at + units == size))
            x += advanceOf(shown);
        at += units - 1;
    }
    return x + cells * m_cell;
}

qreal DiffTextMetrics::xOf(QStringView text, qsizetype index, bool plain) const
{
    if (index <= 0)
        return 0;
    if (plain)
        return std::min(index, text.size()) * m_cell;
    qreal result = 0;
    walk(text, [&](const Step &step) {
        if (step.index >= index) {
            result = step.x;
            return false;
        }
        result = step.x + step.width;
        return true;
    });
    return result;
}

qsizetype DiffTextMetrics::indexAt(QStringView text, qreal x, bool plain) const
{
    if (x <= 0)
        return 0;
    if (plain)
        return std::min<qsizetype>(text.size(), qsizetype(std::floor(x / m_cell + 0.5)));
    qsizetype result = text.size();
    walk(text, [&](const Step &step) {
        if (x < step.x + step.width / 2) {
            result = step.index;
            return false;
        }
        return true;
    });
    return result;
}

QList<DiffTextMetrics::Run> DiffTextMetrics::visibleRuns(QStringView text, qreal left, qreal right, bool plain) const
{
    QList<Run> runs;
    if (right <= left || text.isEmpty())
        return runs;
    if (plain) {
        const qsizetype first = std::max<qsizetype>(0, qsizetype(std::floor(left / m_cell)));
        const qsizetype end = std::min<qsizetype>(text.size(), qsizetype(std::ceil(right / m_cell)));
        if (first < end)
            runs.append(Run{first * m_cell, text.mid(first, end - first).toString()});
        return runs;
    }
    bool open = false;
    walk(text, [&](const Step &step) {
        if (step.x >= right)
            return false;
        if (step.x + step.width <= left || !step.shown) {
            open = false;
            return true;
        }
        if (!open) {
            runs.append(Run{step.x, QString()});
            open = true;
        }
        if (step.shown == char32_t(text[step.index].unicode()) || step.units == 2)
            runs.last().text.append(text.mid(step.index, step.units));
        else
            runs.last().text.append(QChar(char16_t(step.shown)));
        return true;
    });
    return runs;
}

DiffMetrics DiffMetrics::standard()
{
    DiffMetrics metrics;
    metrics.codeFont = Theme::monospaced(Theme::bodySize);
    metrics.pathFont = Theme::monospaced(Theme::bodySize, QFont::DemiBold);
    metrics.hunkFont = Theme::monospaced(Theme::captionSize);
    metrics.captionFont = Theme::caption();
    metrics.code = DiffTextMetrics(metrics.codeFont);
    metrics.hunk = DiffTextMetrics(metrics.hunkFont);
    const auto lineHeight = [](const QFont &font) { return int(std::ceil(QFontMetricsF(font).height())); };
    metrics.lineHeight = std::max(DiffGeometry::lineMinHeight, lineHeight(metrics.codeFont) + 4);
    metrics.hunkHeight = std::max(DiffGeometry::hunkMinHeight, lineHeight(metrics.hunkFont));
    metrics.headerHeight = 2 * DiffGeometry::headerPaddingY
        + std::max({DiffGeometry::symbolSize.height(), lineHeight(metrics.pathFont), lineHeight(metrics.captionFont)});
    return metrics;
}

namespace {

// The bytes the characters take in UTF-8.
qsizetype utf8Length(QStringView text)
{
    qsizetype bytes = 0;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at].unicode();
        if (unit < 0x80)
            bytes += 1;
        else if (unit < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(unit) && at + 1 < text.size() && QChar::isLowSurrogate(text[at + 1].unicode()))
            bytes += 4, ++at;
        else
            bytes += 3;
    }
    return bytes;
}

} // namespace

// Cards and rows from what the diff reader finds. The reader is handed one line at a time, decoded; the
// line's place in the layout's text turns the views it gives back into places in the text.
class DiffLayout::Builder : public UnifiedDiffParser::Visitor {
public:
    explicit Builder(DiffLayout &layout) : m_layout(layout) { }

    // The line handed to the reader next, and where its bytes start in the layout's text.
    void setLine(QStringView characters, qsizetype byteStart)
    {
        m_line = characters;
        m_lineStart = byteStart;
    }

    void beginFile() override
    {
        m_card = Card();
        m_card.top = qint32(m_y);
        m_card.firstRow = qint32(m_layout.m_rows.size());
        m_y += m_layout.m_metrics.headerHeight + DiffGeometry::dividerHeight;
        m_codeWidth = 0;
        m_headerWidth = 0;
    }

    void hunk(QStringView header, qint64) override
    {
        Row row;
        row.kind = RowKind::hunkHeader;
        row.card = qint32(m_layout.m_cards.size());
        row.top = qint32(m_y);
        row.textStart = offsetOf(header);
        row.plain = DiffTextMetrics::isPlain(header);
        row.textLength = qint32(row.plain ? header.size() : utf8Length(header));
        m_headerWidth = std::max(m_headerWidth, m_layout.m_metrics.hunk.width(header, row.plain));
        m_layout.m_rows.append(row);
        m_y += m_layout.m_metrics.hunkHeight;
    }

    void line(DiffLineKind kind, std::optional<qint64> oldLineNumber, std::optional<qint64> newLineNumber,
        QStringView prefix, QStringView text) override
    {
        Row row;
        row.card = qint32(m_layout.m_cards.size());
        row.top = qint32(m_y);
        row.lineKind = kind;
        row.oldNumber = oldLineNumber.value_or(noNumber);
        row.newNumber = newLineNumber.value_or(noNumber);
        row.prefixApart = !prefix.isEmpty() && prefix.data() + prefix.size() != text.data();
        row.prefixLength = row.prefixApart ? 0 : quint8(utf8Length(prefix));
        row.textStart = prefix.isEmpty() || row.prefixApart ? offsetOf(text) : offsetOf(prefix);
        row.plain = DiffTextMetrics::isPlain(text);
        row.textLength = qint32(row.plain ? text.size() : utf8Length(text));
        m_codeWidth = std::max(m_codeWidth, m_layout.m_metrics.code.width(text, row.plain));
        if (kind == DiffLineKind::addition)
            ++m_card.additions;
        else if (kind == DiffLineKind::deletion)
            ++m_card.deletions;
        m_layout.m_rows.append(row);
        m_y += m_layout.m_metrics.lineHeight;
    }

    void endFile(const QString &oldPath, const QString &newPath) override
    {
        using namespace DiffGeometry;
        m_card.path = DiffTextMetrics::singleLine(DiffFile{0, oldPath, newPath, {}}.displayPath());
        m_card.endRow = qint32(m_layout.m_rows.size());
        m_card.height = qint32(m_y - m_card.top);
        const qreal rowWidth = codeX + std::max<qreal>(codeMinWidth, m_codeWidth) + codeTrailing;
        const qreal hunkRowWidth = 2 * gutterWidth + hunkTextPadding + m_headerWidth + hunkTextPadding;
        m_card.width = int(std::ceil(std::max({qreal(cardMinWidth), rowWidth, hunkRowWidth})));
        m_widest = std::max(m_widest, m_card.width);
        m_layout.m_cards.append(std::move(m_card));
        m_y += cardSpacing;
    }

    void finish()
    {
        using namespace DiffGeometry;
        if (m_layout.m_cards.isEmpty())
            return;
        const qint64 y = m_y + padding - cardSpacing;
        // Scroll positions are ints: a diff taller than that is cut off rather than wrapped round.
        m_layout.m_contentSize
            = QSize(padding + m_widest + padding, int(std::min<qint64>(y, std::numeric_limits<int>::max())));
    }

private:
    qsizetype offsetOf(QStringView piece) const
    {
        return m_lineStart + utf8Length(QStringView(m_line.data(), piece.data() - m_line.data()));
    }

    DiffLayout &m_layout;
    QStringView m_line;
    qsizetype m_lineStart = 0;
    Card m_card;
    qint64 m_y = DiffGeometry::padding;
    qreal m_codeWidth = 0;
    qreal m_headerWidth = 0;
    int m_widest = 0;
};

DiffLayout::DiffLayout(const ParsedDiff &diff, DiffMetrics metrics) : m_metrics(std::move(metrics))
{
    if (diff.files.isEmpty())
        return;

    qsizetype rowCount = 0;
    for (const DiffFile &file : diff.files) {
        for (const DiffHunk &hunk : file.hunks)
            rowCount += 1 + hunk.lines.size();
    }
    m_rows.reserve(rowCount);
    m_cards.reserve(diff.files.size());

    // Each record is written into the text as a line of its own and handed over from there.
    Builder builder(*this);
    QString line;
    const auto handOver = [&](const QString &prefix, const QString &text) {
        line = prefix + text;
        builder.setLine(line, m_text.size());
        m_text += line.toUtf8();
        m_text += '\n';
        return QStringView(line);
    };
    for (const DiffFile &file : diff.files) {
        builder.beginFile();
        for (const DiffHunk &hunk : file.hunks) {
            builder.hunk(handOver(QString(), hunk.header), hunk.lines.size());
            for (const DiffLine &record : hunk.lines) {
                const QStringView written = handOver(record.prefix, record.text);
                builder.line(record.kind, record.oldLineNumber, record.newLineNumber,
                    written.first(record.prefix.size()), written.sliced(record.prefix.size()));
            }
        }
        builder.endFile(file.oldPath, file.newPath);
    }
    builder.finish();
}

DiffLayout::DiffLayout(const QByteArray &diffText, DiffMetrics metrics)
    : m_metrics(std::move(metrics)), m_text(diffText)
{
    m_rows.reserve(diffText.count('\n') + 1);
    if (!readText()) {
        // Bytes that are not UTF-8 are read as replacement characters, which take other room in UTF-8:
        // the rows are made again from a copy that holds those characters.
        m_text = QString::fromUtf8(m_text).toUtf8();
        m_rows.clear();
        m_cards.clear();
        readText();
    }
    if (m_cards.isEmpty()) {
        m_text.clear();
        m_rows = QList<Row>();
    }
}

bool DiffLayout::readText()
{
    Builder builder(*this);
    UnifiedDiffParser::LineReader reader(builder);
    // Each line is decoded into one buffer used again and again: the whole text is never held decoded. In
    // UTF-8 a line feed byte always ends a line.
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString line;
    const QByteArrayView text(m_text);
    qsizetype start = 0;
    for (;;) {
        qsizetype end = text.indexOf('\n', start);
        const bool last = end < 0;
        if (last) {
            end = text.size();
            // A final line feed adds no empty last line, but an empty text is one empty line.
            if (start == end && start > 0)
                break;
        }
        const QByteArrayView bytes = text.sliced(start, end - start);
        // A line never takes more UTF-16 units than bytes.
        line.resize(bytes.size());
        const QChar *decodedEnd = decoder.appendToBuffer(line.data(), bytes);
        if (decoder.hasError())
            return false;
        const QStringView characters(line.constData(), decodedEnd - line.constData());
        builder.setLine(characters, start);
        reader.readLine(characters, text.size() - end);
        if (last)
            break;
        start = end + 1;
    }
    reader.finish();
    builder.finish();
    return true;
}

QRect DiffLayout::cardRect(int card) const
{
    const Card &c = m_cards.at(card);
    return QRect(DiffGeometry::padding, c.top, cardWidth(c), c.height);
}

QRect DiffLayout::headerRect(int card) const
{
    const Card &c = m_cards.at(card);
    return QRect(DiffGeometry::padding, c.top, cardWidth(c), m_metrics.headerHeight);
}

QRect DiffLayout::rowRect(int row) const
{
    const Row &r = m_rows.at(row);
    return QRect(DiffGeometry::padding, r.top, cardWidth(m_cards.at(r.card)), rowHeight(r));
}

int DiffLayout::rowAt(int y) const
{
    const auto after = std::upper_bound(
        m_rows.cbegin(), m_rows.cend(), y, [](int value, const Row &row) { return value < row.top; });
    if (after == m_rows.cbegin())
        return -1;
    const Row &row = *(after - 1);
    return y < row.top + rowHeight(row) ? int(after - 1 - m_rows.cbegin()) : -1;
}

std::pair<int, int> DiffLayout::rowsBetween(int top, int bottom) const
{
    // A row reaches into the band when it ends below top and starts above bottom.
    const auto first = std::partition_point(
        m_rows.cbegin(), m_rows.cend(), [&](const Row &row) { return row.top + rowHeight(row) <= top; });
    const auto end = std::partition_point(first, m_rows.cend(), [&](const Row &row) { return row.top < bottom; });
    return {int(first - m_rows.cbegin()), int(end - m_rows.cbegin())};
}

std::pair<int, int> DiffLayout::cardsBetween(int top, int bottom) const
{
    const auto first = std::partition_point(
        m_cards.cbegin(), m_cards.cend(), [&](const Card &card) { return card.top + card.height <= top; });
    const auto end = std::partition_point(first, m_cards.cend(), [&](const Card &card) { return card.top < bottom; });
    return {int(first - m_cards.cbegin()), int(end - m_cards.cbegin())};
}

int DiffLayout::lineAtOrBelow(int y) const
{
    const int first = rowsBetween(y, std::numeric_limits<int>::max()).first;
    return lineAtOrAfter(first);
}

int DiffLayout::lineAtOrBefore(int row) const
{
    for (int at = std::min(row, int(m_rows.size()) - 1); at >= 0; --at) {
        if (m_rows.at(at).kind == RowKind::line)
            return at;
    }
    return -1;
}

int DiffLayout::lineAtOrAfter(int row) const
{
    for (int at = std::max(row, 0); at < m_rows.size(); ++at) {
        if (m_rows.at(at).kind == RowKind::line)
            return at;
    }
    return -1;
}
