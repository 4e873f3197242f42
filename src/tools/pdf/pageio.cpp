#include "pageio.h"

#include "common/atomicwrite.h"

#include "pageoperations.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>

#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("PageIo", text);
}

void setError(QString *errorString, const QString &text)
{
    if (errorString) {
        *errorString = text;
    }
}

// Just enough PDF syntax to follow a page tree: names, integers, references, arrays and
// dictionaries; strings and comments are stepped over. A file that is no PDF costs one pass.
class PdfScanner
{
public:
    explicit PdfScanner(std::string_view text)
        : m_text(text)
        // Enough for every byte to be read a few times; a file built to make the scan go back
        // and forth runs out of it, and the scan then reports no loop.
        , m_budget(8 * qint64(text.size()) + 65536)
    { }

    struct Value
    {
        enum Kind { Invalid, Name, Integer, Reference, Array, Dictionary, Other };
        Kind kind = Invalid;
        std::string name; // a name, without its slash
        qint64 number = 0; // an integer, or the object a reference points to
        std::vector<Value> items; // an array's elements
        std::vector<std::pair<std::string, Value>> entries; // a dictionary's

        const Value *find(std::string_view key) const
        {
            for (const auto &entry : entries) {
                if (entry.first == key) {
                    return &entry.second;
                }
            }
            return nullptr;
        }
    };

    bool exhausted() const { return m_budget < 0; }

    // The page-tree nodes (objects of type Pages) defined by "N G obj" in the file, each with
    // the objects its Kids name. A later definition of an object replaces an earlier one.
    QHash<qint64, std::vector<qint64>> pagesNodes()
    {
        QHash<qint64, std::vector<qint64>> nodes;
        std::size_t pos = 0;
        while (!exhausted() && (pos = m_text.find("obj", pos)) != std::string_view::npos) {
            const std::size_t keyword = pos;
            pos += 3;
            qint64 number = 0;
            if (!isObjectHeader(keyword, &number)) {
                continue;
            }
            m_at = pos;
            const Value value = parseValue(0);
            if (value.kind != Value::Dictionary) {
                continue;
            }
            pos = qMax(pos, m_at);
            const Value *type = value.find("Type");
            const Value *kids = value.find("Kids");
            if (!type || type->kind != Value::Name || type->name != "Pages") {
                nodes.remove(number);
                continue;
            }
            std::vector<qint64> children;
            if (kids && kids->kind == Value::Array) {
                for (const Value &kid : kids->items) {
                    if (kid.kind == Value::Reference) {
                        children.push_back(kid.number);
                    }
                }
            }
            nodes.insert(number, std::move(children));
        }
        return nodes;
    }

private:
    static bool isWhite(char c)
    {
        return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
    }
    static bool isDelimiter(char c)
    {
        return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{'
            || c == '}' || c == '/' || c == '%';
    }
    static bool isRegular(char c) { return !isWhite(c) && !isDelimiter(c); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    static bool parseInteger(std::string_view text, qint64 *value)
    {
        std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
        if (i == text.size() || text.size() - i > 15) {
            return false;
        }
        qint64 result = 0;
        for (std::size_t j = i; j < text.size(); ++j) {
            if (!isDigit(text[j])) {
                return false;
            }
            result = result * 10 + (text[j] - '0');
        }
        *value = text[0] == '-' ? -result : result;
        return true;
    }

    // "N G obj" ending just before keyword, with nothing regular glued to either end.
    bool isObjectHeader(std::size_t keyword, qint64 *number) const
    {
        const std::size_t after = keyword + 3;
        if (after < m_text.size() && isRegular(m_text[after])) {
            return false;
        }
        std::size_t at = keyword;
        const auto skipBack = [this, &at](bool (*accept)(char)) {
            const std::size_t end = at;
            while (at > 0 && accept(m_text[at - 1])) {
                --at;
            }
            return end - at;
        };
        if (skipBack(isWhite) == 0 || skipBack(isDigit) == 0 || skipBack(isWhite) == 0) {
            return false;
        }
        const std::size_t numberEnd = at;
        if (skipBack(isDigit) == 0 || (at > 0 && isRegular(m_text[at - 1]))) {
            return false;
        }
        return parseInteger(m_text.substr(at, numberEnd - at), number);
    }

    enum class Token { End, Name, Word, ArrayOpen, ArrayClose, DictOpen, DictClose, Other };

    Token next(std::string *text)
    {
        const std::size_t start = m_at;
        const Token token = read(text);
        m_budget -= qint64(m_at - start) + 1;
        if (exhausted()) {
            m_at = m_text.size();
            return Token::End;
        }
        return token;
    }

    Token read(std::string *text)
    {
        const std::size_t size = m_text.size();
        for (;;) {
            while (m_at < size && isWhite(m_text[m_at])) {
                ++m_at;
            }
            if (m_at < size && m_text[m_at] == '%') {
                while (m_at < size && m_text[m_at] != '\n' && m_text[m_at] != '\r') {
                    ++m_at;
                }
                continue;
            }
            break;
        }
        if (m_at >= size) {
            return Token::End;
        }
        const char c = m_text[m_at++];
        switch (c) {
        case '/':
            text->clear();
            while (m_at < size && isRegular(m_text[m_at])) {
                // #xx stands for the byte xx, so /P#61ges is /Pages.
                if (m_text[m_at] == '#' && m_at + 2 < size) {
                    bool ok = false;
                    const int byte = QByteArray(m_text.data() + m_at + 1, 2).toInt(&ok, 16);
                    if (ok) {
                        text->push_back(char(byte));
                        m_at += 3;
                        continue;
                    }
                }
                text->push_back(m_text[m_at++]);
            }
            return Token::Name;
        case '[':
            return Token::ArrayOpen;
        case ']':
            return Token::ArrayClose;
        case '<':
            if (m_at < size && m_text[m_at] == '<') {
                ++m_at;
                return Token::DictOpen;
            }
            while (m_at < size && m_text[m_at] != '>') {
                ++m_at;
            }
            m_at = qMin(m_at + 1, size);
            return Token::Other;
        case '>':
            if (m_at < size && m_text[m_at] == '>') {
                ++m_at;
                return Token::DictClose;
            }
            return Token::Other;
        case '(': {
            int depth = 1;
            while (m_at < size && depth > 0) {
                const char s = m_text[m_at++];
                if (s == '\\') {
                    ++m_at;
                } else if (s == '(') {
                    ++depth;
                } else if (s == ')') {
                    --depth;
                }
            }
            m_at = qMin(m_at, size);
            return Token::Other;
        }
        default:
            if (!isRegular(c)) {
                return Token::Other;
            }
            text->assign(1, c);
            while (m_at < size && isRegular(m_text[m_at])) {
                text->push_back(m_text[m_at++]);
            }
            return Token::Word;
        }
    }

    // One object at m_at. Invalid where the object ends early (a keyword that closes it, the end
    // of the file) or nests deeper than any page tree needs.
    Value parseValue(int depth)
    {
        Value value;
        if (depth > 64) {
            return value;
        }
        std::string text;
        switch (next(&text)) {
        case Token::Name:
            value.kind = Value::Name;
            value.name = std::move(text);
            return value;
        case Token::ArrayOpen:
            for (;;) {
                const std::size_t before = m_at;
                std::string close;
                if (next(&close) == Token::ArrayClose) {
                    value.kind = Value::Array;
                    return value;
                }
                m_at = before;
                Value item = parseValue(depth + 1);
                if (item.kind == Value::Invalid) {
                    return {};
                }
                value.items.push_back(std::move(item));
            }
        case Token::DictOpen:
            for (;;) {
                std::string key;
                const Token token = next(&key);
                if (token == Token::DictClose) {
                    value.kind = Value::Dictionary;
                    return value;
                }
                if (token != Token::Name) {
                    return {};
                }
                Value item = parseValue(depth + 1);
                if (item.kind == Value::Invalid) {
                    return {};
                }
                value.entries.emplace_back(std::move(key), std::move(item));
            }
        case Token::Word: {
            qint64 number = 0;
            if (!parseInteger(text, &number)) {
                static const std::string_view closing[] = { "obj", "endobj", "stream", "endstream",
                    "xref", "trailer", "startxref" };
                for (const std::string_view word : closing) {
                    if (text == word) {
                        return {};
                    }
                }
                value.kind = Value::Other;
                return value;
            }
            // "N G R" is a reference; anything else leaves N a plain integer.
            const std::size_t after = m_at;
            std::string generation;
            std::string r;
            qint64 ignored = 0;
            if (next(&generation) == Token::Word && parseInteger(generation, &ignored)
                && next(&r) == Token::Word && r == "R") {
                value.kind = Value::Reference;
            } else {
                m_at = after;
                value.kind = Value::Integer;
            }
            value.number = number;
            return value;
        }
        case Token::Other:
            value.kind = Value::Other;
            return value;
        case Token::End:
        case Token::ArrayClose:
        case Token::DictClose:
            return value;
        }
        return value;
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    qint64 m_budget;
};
} // namespace

bool pdfPageTreeLoops(const QByteArray &pdf)
{
    PdfScanner scanner(std::string_view(pdf.constData(), std::size_t(pdf.size())));
    const QHash<qint64, std::vector<qint64>> nodes = scanner.pagesNodes();

    // Depth-first from every node, without recursion (a hostile tree may be very deep): a node
    // met again while it is still on the path closes a loop.
    enum class Mark { OnPath, Done };
    QHash<qint64, Mark> marks;
    for (auto root = nodes.cbegin(); root != nodes.cend(); ++root) {
        if (marks.contains(root.key())) {
            continue;
        }
        std::vector<std::pair<qint64, std::size_t>> path { { root.key(), 0 } };
        marks.insert(root.key(), Mark::OnPath);
        while (!path.empty()) {
            auto &[node, nextKid] = path.back();
            const std::vector<qint64> &kids = *nodes.find(node);
            if (nextKid == kids.size()) {
                marks.insert(node, Mark::Done);
                path.pop_back();
                continue;
            }
            const qint64 kid = kids[nextKid++];
            if (!nodes.contains(kid)) {
                continue;
            }
            const auto mark = marks.constFind(kid);
            if (mark == marks.cend()) {
                marks.insert(kid, Mark::OnPath);
                path.emplace_back(kid, 0);
            } else if (*mark == Mark::OnPath) {
                return true;
            }
        }
    }
    return false;
}

QSize renderPixelSize(const QSizeF &pointSize, double dpi)
{
    const double width = pointSize.width() * dpi / 72.0;
    const double height = pointSize.height() * dpi / 72.0;
    // Checked before rounding, so qRound never sees a value beyond int.
    if (!std::isfinite(width) || !std::isfinite(height) || width > kMaxRenderSide
        || height > kMaxRenderSide) {
        return {};
    }
    const QSize size(qRound(width), qRound(height));
    if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxRenderPixels) {
        return {};
    }
    return size;
}

QImage renderPage(QPdfDocument &doc, int page, double dpi)
{
    if (page < 0 || page >= doc.pageCount()) {
        return {};
    }
    const QSize size = renderPixelSize(doc.pagePointSize(page), dpi);
    if (size.isEmpty()) {
        return {};
    }
    QImage rendered = doc.render(page, size);
    if (rendered.isNull()) {
        return {};
    }
    // White painted behind the render is the render drawn over white, without a second
    // full-size image.
    QPainter painter(&rendered);
    if (!painter.isActive()) {
        return flattenOnWhite(rendered);
    }
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    painter.fillRect(rendered.rect(), Qt::white);
    painter.end();
    return rendered;
}

PdfReadResult readPdfPages(const QString &path)
{
    // A folder, a device or a pipe is no document (and opening a pipe waits for a writer).
    if (!QFileInfo(path).isFile()) {
        return {};
    }
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        const qint64 size = file.size();
        const uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
        const QByteArray bytes = mapped
            ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(size))
            : file.readAll();
        if (pdfPageTreeLoops(bytes)) {
            return {};
        }
    }

    // Local, so the file is closed again before anyone writes over it.
    QPdfDocument doc;
    if (doc.load(path) != QPdfDocument::Error::None) {
        return {};
    }
    PdfReadResult result;
    const int count = doc.pageCount();
    if (count > kMaxPdfPages) {
        return {};
    }
    // Sizes first: a document too large to hold is refused before any page is rendered.
    qint64 pixels = 0;
    for (int page = 0; page < count; ++page) {
        const QSize size = renderPixelSize(doc.pagePointSize(page), kPageDpi);
        pixels += qint64(size.width()) * size.height();
        if (size.isEmpty() || pixels > kMaxPdfPixels) {
            return {};
        }
    }
    result.pages.reserve(count);
    for (int page = 0; page < count; ++page) {
        const QImage image = renderPage(doc, page, kPageDpi);
        if (image.isNull()) {
            return {};
        }
        result.pages.append(image);
    }
    result.ok = true;
    return result;
}

QImage readPageImage(const QString &path)
{
    return toPaintableFormat(QImage(path));
}

QSizeF pagePointSize(const QSize &pixelSize)
{
    return QSizeF(pixelSize.width() * 72.0 / kPageDpi, pixelSize.height() * 72.0 / kPageDpi);
}

QPageSize writerPageSize(const QSize &pixelSize)
{
    return QPageSize(pagePointSize(pixelSize), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
}

QMarginsF pageMarginsFor(const QSizeF &pointSize, const QMarginsF &defaultMargins)
{
    // Less than one device pixel between the margins is drawn as nothing at all.
    const double onePixel = 72.0 / kPageDpi;
    const bool tooNarrow =
        pointSize.width() - defaultMargins.left() - defaultMargins.right() < onePixel;
    const bool tooLow =
        pointSize.height() - defaultMargins.top() - defaultMargins.bottom() < onePixel;
    return tooNarrow || tooLow ? QMarginsF() : defaultMargins;
}

QByteArray paintPdf(const QList<QImage> &pages)
{
    if (pages.isEmpty()) {
        return {};
    }
    for (const QImage &page : pages) {
        if (page.isNull()) {
            return {};
        }
    }

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return {};
    }
    QPdfWriter writer(&buffer);
    writer.setResolution(int(kPageDpi));
    const QMarginsF defaultMargins = writer.pageLayout().margins(QPageLayout::Point);

    QPainter painter;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QImage &page = pages.at(i);
        // Size and margins are set before the page begins: they apply from the next page on.
        const QPageSize pageSize = writerPageSize(page.size());
        if (!writer.setPageSize(pageSize)
            || !writer.setPageMargins(
                pageMarginsFor(pageSize.size(QPageSize::Point), defaultMargins),
                QPageLayout::Point)) {
            return {};
        }
        const bool begun = i == 0 ? painter.begin(&writer) : writer.newPage();
        if (!begun) {
            return {};
        }
        painter.drawImage(QRect(0, 0, writer.width(), writer.height()), page);
    }
    if (!painter.end()) {
        return {};
    }
    return bytes;
}

bool writePagesAsPdf(const QList<QImage> &pages, const QString &path, QString *errorString)
{
    if (pages.isEmpty()) {
        setError(errorString, tr("There are no pages to write."));
        return false;
    }
    // Painted in memory first: the PDF writer drops whatever follows a short write to a file
    // without telling anyone, so only a complete document may reach the disk.
    const QByteArray bytes = paintPdf(pages);
    if (bytes.isEmpty()) {
        setError(errorString, tr("The pages could not be made into a PDF."));
        return false;
    }
    return writeFileAtomically(path, bytes, errorString);
}
