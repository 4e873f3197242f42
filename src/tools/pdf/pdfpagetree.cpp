#include "pdfpagetree.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {
// Just enough PDF syntax to follow a page tree: names, integers, references, arrays and
// dictionaries; strings and comments are stepped over. The engine's parser forgives a lot
// (stray words, unclosed dictionaries, nesting it gives up on), and the engine picks among the
// definitions of an object through cross-reference data this scan does not follow, so the scan
// errs on the side of seeing more: every definition counts, and damaged objects are read as far
// as they go.

bool isWhite(char c)
{
    return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}
bool isDelimiter(char c)
{
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' || c == '{'
        || c == '}' || c == '/' || c == '%';
}
bool isRegular(char c)
{
    return !isWhite(c) && !isDelimiter(c);
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Up to 15 digits with an optional sign: far beyond any object number, and no overflow.
bool parseInteger(std::string_view text, qint64 *value)
{
    const std::size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
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

struct PdfValue
{
    enum Kind { Invalid, Name, Integer, Reference, Array, Dictionary, Other };
    Kind kind = Invalid;
    std::string name; // a name, without its slash
    qint64 number = 0; // an integer, or the object a reference points to
    // What a page tree needs, no more (a hostile object may hold millions of values): an array's
    // references, its names and its dictionaries that have entries; a dictionary's entries of
    // the keys below, in file order.
    std::vector<qint64> references;
    std::vector<PdfValue> items;
    std::vector<std::pair<std::string, PdfValue>> entries;

    static bool isKept(std::string_view key)
    {
        static const std::string_view kept[] = { "Type", "Kids", "N", "First", "Length", "Filter",
            "DecodeParms", "Predictor" };
        return std::find(std::begin(kept), std::end(kept), key) != std::end(kept);
    }

    // Every value of key: a damaged dictionary may give a key more than once.
    template <typename Visit> void forEach(std::string_view key, Visit visit) const
    {
        for (const auto &entry : entries) {
            if (entry.first == key) {
                visit(entry.second);
            }
        }
    }
    bool has(std::string_view key, std::string_view nameValue) const
    {
        bool found = false;
        forEach(key, [&](const PdfValue &value) {
            found = found || (value.kind == Name && value.name == nameValue);
        });
        return found;
    }
    const PdfValue *find(std::string_view key) const
    {
        for (const auto &entry : entries) {
            if (entry.first == key) {
                return &entry.second;
            }
        }
        return nullptr;
    }
};

// Reads one text (the file, or an unpacked object stream). Every byte read is paid from a
// budget shared by all texts of one file: a file built to make the scan go back and forth
// spends it, and can then not be checked.
class PdfScanner
{
public:
    PdfScanner(std::string_view text, qint64 *budget)
        : m_text(text)
        , m_budget(budget)
    { }

    std::string_view text() const { return m_text; }
    std::size_t at() const { return m_at; }
    void seek(std::size_t at) { m_at = qMin(at, m_text.size()); }
    bool exhausted() const { return *m_budget < 0; }

    // Whether keyword ("obj") ends an object header "N G obj": two integers apart from each
    // other and from the keyword by white space or comments, nothing glued to the keyword's end.
    // Anything may come right before N, since the engine reads from wherever the
    // cross-reference data points; for the same reason the shorter tails of N's digits may
    // name the object too, and are given in tails.
    bool isObjectHeader(std::size_t keyword, qint64 *number, std::vector<qint64> *tails)
    {
        const std::size_t after = keyword + 3;
        if (after < m_text.size() && isRegular(m_text[after])) {
            return false;
        }
        std::size_t at = keyword;
        if (!skipBackSpace(&at) || skipBackDigits(&at) == 0 || !skipBackSpace(&at)) {
            return false;
        }
        const std::size_t end = at;
        if (skipBackDigits(&at) == 0 || !parseInteger(m_text.substr(at, end - at), number)) {
            return false;
        }
        for (std::size_t tail = at + 1; tail < end; ++tail) {
            qint64 value = 0;
            if (parseInteger(m_text.substr(tail, end - tail), &value)) {
                tails->push_back(value);
            }
        }
        return true;
    }

    // The next token if it is an integer.
    bool nextInteger(qint64 *value)
    {
        std::string text;
        return next(&text) == Token::Word && parseInteger(text, value);
    }

    bool nextIsWord(std::string_view word)
    {
        std::string text;
        return next(&text) == Token::Word && text == word;
    }

    // The next word read as the engine reads the numbers heading an object stream: a run of
    // regular characters, a name or a single delimiter, worth its leading digits when it is
    // made of digits, signs and points, else 0. False at the end of the text.
    bool nextNumberWord(qint64 *value)
    {
        const std::size_t start = m_at;
        skipSpace();
        const std::size_t word = m_at;
        if (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (isRegular(c) || c == '/') {
                while (m_at < m_text.size() && isRegular(m_text[m_at])) {
                    ++m_at;
                }
            } else if ((c == '<' || c == '>') && m_at < m_text.size() && m_text[m_at] == c) {
                ++m_at;
            }
        }
        const std::string_view text = m_text.substr(word, m_at - word);
        *value = 0;
        if (!text.empty() && text.find_first_not_of("0123456789+-.") == std::string_view::npos) {
            const std::size_t sign = text[0] == '+' || text[0] == '-' ? 1 : 0;
            const std::size_t digits = text.find_first_not_of("0123456789", sign);
            if (!parseInteger(text.substr(0, qMin(digits, text.size())), value)) {
                *value = 0;
            }
        }
        pay(m_at - start);
        return word < m_text.size() && !exhausted();
    }

    // One object at the cursor. Invalid only where there is none: at a keyword that ends
    // objects, a closing bracket (left for the enclosing object), or the end of the text. An
    // object that would hold more than 32 MiB spends the budget.
    PdfValue parseObject()
    {
        m_held = 0;
        return parseValue(0);
    }

private:
    PdfValue parseValue(int depth)
    {
        // As deep as the engine's parser goes; deeper values are stepped over whole.
        constexpr int kMaxDepth = 64;
        PdfValue value;
        std::string text;
        const std::size_t start = m_at;
        switch (next(&text)) {
        case Token::Name:
            value.kind = PdfValue::Name;
            value.name = std::move(text);
            return value;
        case Token::ArrayOpen:
            if (depth >= kMaxDepth) {
                skipNested();
                value.kind = PdfValue::Other;
                return value;
            }
            value.kind = PdfValue::Array;
            for (;;) {
                const std::size_t before = m_at;
                const Token token = next(&text);
                if (token == Token::ArrayClose || token == Token::End) {
                    return value;
                }
                m_at = before;
                PdfValue item = parseValue(depth + 1);
                if (item.kind == PdfValue::Invalid) {
                    return value;
                }
                if (item.kind == PdfValue::Reference) {
                    hold(sizeof(qint64));
                    value.references.push_back(item.number);
                } else if (item.kind == PdfValue::Name || !item.entries.empty()) {
                    hold(sizeof(PdfValue) + item.name.size());
                    value.items.push_back(std::move(item));
                }
            }
        case Token::DictOpen:
            if (depth >= kMaxDepth) {
                skipNested();
                value.kind = PdfValue::Other;
                return value;
            }
            value.kind = PdfValue::Dictionary;
            for (;;) {
                std::string key;
                const Token token = next(&key);
                if (token == Token::DictClose || token == Token::End) {
                    return value;
                }
                // Stray words and bytes are stepped over, as the engine does.
                if (token != Token::Name) {
                    continue;
                }
                PdfValue item = parseValue(depth + 1);
                if (item.kind != PdfValue::Invalid && PdfValue::isKept(key)) {
                    hold(sizeof(PdfValue) + key.size());
                    value.entries.emplace_back(std::move(key), std::move(item));
                }
            }
        case Token::Word: {
            qint64 number = 0;
            if (!parseInteger(text, &number)) {
                static const std::string_view closing[] = { "obj", "endobj", "stream", "endstream",
                    "xref", "trailer", "startxref" };
                for (const std::string_view word : closing) {
                    if (text == word) {
                        return value;
                    }
                }
                value.kind = PdfValue::Other;
                return value;
            }
            // "N G R" is a reference; anything else leaves N a plain integer.
            const std::size_t after = m_at;
            qint64 ignored = 0;
            if (nextInteger(&ignored) && nextIsWord("R")) {
                value.kind = PdfValue::Reference;
            } else {
                m_at = after;
                value.kind = PdfValue::Integer;
            }
            value.number = number;
            return value;
        }
        case Token::Other:
            value.kind = PdfValue::Other;
            return value;
        case Token::ArrayClose:
        case Token::DictClose:
            m_at = start;
            return value;
        case Token::End:
            return value;
        }
        return value;
    }

    enum class Token { End, Name, Word, ArrayOpen, ArrayClose, DictOpen, DictClose, Other };

    void pay(std::size_t bytes)
    {
        *m_budget -= qint64(bytes) + 1;
        if (exhausted()) {
            m_at = m_text.size();
        }
    }

    void hold(std::size_t bytes)
    {
        m_held += bytes;
        if (m_held > (std::size_t(32) << 20)) {
            pay(qMax<qint64>(*m_budget, 0));
        }
    }

    // Steps back over white space and comments (which run from % to the end of their line)
    // before at; false when there is none.
    bool skipBackSpace(std::size_t *at)
    {
        const std::size_t start = *at;
        for (;;) {
            while (*at > 0 && isWhite(m_text[*at - 1])) {
                --*at;
            }
            if (*at == 0 || isDigit(m_text[*at - 1])) {
                break;
            }
            std::size_t line = *at;
            while (line > 0 && m_text[line - 1] != '%' && m_text[line - 1] != '\n'
                && m_text[line - 1] != '\r') {
                --line;
            }
            pay(*at - line);
            if (line == 0 || m_text[line - 1] != '%' || exhausted()) {
                break;
            }
            *at = line - 1;
        }
        return *at < start;
    }

    std::size_t skipBackDigits(std::size_t *at) const
    {
        const std::size_t end = *at;
        while (*at > 0 && end - *at < 15 && isDigit(m_text[*at - 1])) {
            --*at;
        }
        return end - *at;
    }

    void skipNested()
    {
        std::string text;
        for (int open = 1; open > 0;) {
            switch (next(&text)) {
            case Token::ArrayOpen:
            case Token::DictOpen:
                ++open;
                break;
            case Token::ArrayClose:
            case Token::DictClose:
                --open;
                break;
            case Token::End:
                return;
            default:
                break;
            }
        }
    }

    Token next(std::string *text)
    {
        const std::size_t start = m_at;
        const Token token = read(text);
        pay(m_at - start);
        return exhausted() ? Token::End : token;
    }

    // Steps over white space and comments.
    void skipSpace()
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
    }

    Token read(std::string *text)
    {
        const std::size_t size = m_text.size();
        skipSpace();
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

    std::string_view m_text;
    std::size_t m_at = 0;
    qint64 *m_budget;
    std::size_t m_held = 0; // by the object being parsed
};

// The most the object streams of one file may unpack to, all together. Documents within the
// page limits pack a few megabytes of small objects into them; a file that unpacks to more is
// built to fill the memory, and is refused unchecked.
constexpr std::size_t kMaxUnpackedBytes = std::size_t(64) << 20;

using Lists = QHash<qint64, std::vector<qint64>>;

// What the definitions of a file's objects say about its page tree.
struct PageTree
{
    Lists kids; // node of type Pages -> the objects its Kids name
    Lists kidsHeldBy; // node -> objects holding its Kids array
    Lists arrays; // array object -> the objects it names
    QSet<qint64> defined; // every object number found
    std::vector<std::pair<qint64, qint64>> tails; // (tail, number): see isObjectHeader
    qint64 budget = 0;
    std::size_t unpacked = 0;
    bool uncheckable = false; // budget or unpacking allowance spent, or an unreadable encoding
};

// The objects a Kids array names: references, and the Kids of nodes written in it directly
// (the engine makes them objects of their own).
void collectKids(const PdfValue &array, std::vector<qint64> *kids, std::vector<qint64> *heldBy)
{
    kids->insert(kids->end(), array.references.begin(), array.references.end());
    for (const PdfValue &item : array.items) {
        item.forEach("Kids", [&](const PdfValue &inner) {
            if (inner.kind == PdfValue::Array) {
                collectKids(inner, kids, heldBy);
            } else if (inner.kind == PdfValue::Reference) {
                heldBy->push_back(inner.number);
            }
        });
    }
}

// Adds one definition of object number. True when it may take part in the page tree: a node
// of type Pages, or an array naming objects (it may be a node's Kids).
bool record(PageTree *tree, qint64 number, const PdfValue &value)
{
    tree->defined.insert(number);
    if (value.kind == PdfValue::Array) {
        std::vector<qint64> named;
        std::vector<qint64> ignored;
        collectKids(value, &named, &ignored);
        if (named.empty()) {
            return false;
        }
        std::vector<qint64> &list = tree->arrays[number];
        list.insert(list.end(), named.begin(), named.end());
        return true;
    }
    if (value.kind != PdfValue::Dictionary || !value.has("Type", "Pages")) {
        return false;
    }
    std::vector<qint64> &kids = tree->kids[number];
    std::vector<qint64> &heldBy = tree->kidsHeldBy[number];
    value.forEach("Kids", [&](const PdfValue &entry) {
        if (entry.kind == PdfValue::Array) {
            collectKids(entry, &kids, &heldBy);
        } else if (entry.kind == PdfValue::Reference) {
            heldBy.push_back(entry.number);
        }
    });
    return true;
}

// The zlib stream in data inflated into out, as far as it inflates: damaged or cut-off data
// gives what came before the damage. False when more than limit bytes would come out.
bool inflateZlib(std::string_view data, std::size_t limit, std::string *out)
{
    out->clear();
    z_stream stream {};
    if (inflateInit(&stream) != Z_OK) {
        return true;
    }
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    stream.avail_in = uInt(qMin<std::size_t>(data.size(), UINT_MAX));
    bool fits = true;
    int status = Z_OK;
    while (status == Z_OK) {
        const std::size_t done = out->size();
        if (done == limit) {
            // Full: whether one more byte comes out tells whether the data goes on.
            Bytef probe = 0;
            stream.next_out = &probe;
            stream.avail_out = 1;
            inflate(&stream, Z_NO_FLUSH);
            fits = stream.avail_out == 1;
            break;
        }
        // Grown as it fills, so a small stream costs little.
        const std::size_t room = qMin(limit - done, qMax<std::size_t>(done, 16384));
        out->resize(done + room);
        stream.next_out = reinterpret_cast<Bytef *>(out->data() + done);
        stream.avail_out = uInt(room);
        status = inflate(&stream, Z_NO_FLUSH);
        out->resize(done + room - stream.avail_out);
    }
    inflateEnd(&stream);
    return fits;
}

// The data of the stream whose dictionary the scanner has just read: from the end of line after
// "stream", Length bytes when "endstream" follows them, else all the rest of the text (inflating
// stops at the end of its data, and the engine finds nothing beyond it that this scan misses).
std::string_view streamData(PdfScanner &scanner, const PdfValue &dictionary)
{
    if (!scanner.nextIsWord("stream")) {
        return {};
    }
    const std::string_view text = scanner.text();
    std::size_t start = scanner.at();
    start += start < text.size() && text[start] == '\r' ? 1 : 0;
    start += start < text.size() && text[start] == '\n' ? 1 : 0;
    const PdfValue *length = dictionary.find("Length");
    if (length && length->kind == PdfValue::Integer && length->number >= 0
        && length->number <= qint64(text.size() - start)) {
        const std::size_t end = start + std::size_t(length->number);
        std::size_t after = end;
        while (after < text.size() && isWhite(text[after])) {
            ++after;
        }
        if (text.substr(after, 9) == "endstream") {
            return text.substr(start, end - start);
        }
    }
    return text.substr(start);
}

// The objects of an object stream as the engine reads them: unfiltered, or inflated once for
// each Flate filter; the inflated bytes are kept in buffer. False when the stream cannot be
// checked: other filters or a predictor (which no real object stream uses), or more than the
// file's unpacking allowance. Encrypted streams inflate to nothing and are not checked.
bool unpackObjectStream(PageTree *tree, const PdfValue &dictionary, std::string_view data,
    std::string *buffer, std::string_view *objects)
{
    std::vector<std::string> filters;
    dictionary.forEach("Filter", [&](const PdfValue &filter) {
        if (filter.kind == PdfValue::Name) {
            filters.push_back(filter.name);
        }
        for (const PdfValue &item : filter.items) {
            if (item.kind == PdfValue::Name) {
                filters.push_back(item.name);
            }
        }
    });
    bool predicted = false;
    dictionary.forEach("DecodeParms", [&](const PdfValue &parameters) {
        const auto check = [&](const PdfValue &entries) {
            const PdfValue *predictor = entries.find("Predictor");
            predicted = predicted
                || (predictor && (predictor->kind != PdfValue::Integer || predictor->number > 1));
        };
        check(parameters);
        for (const PdfValue &item : parameters.items) {
            check(item);
        }
    });
    *objects = data;
    std::string inflated;
    for (const std::string &filter : filters) {
        if (filter != "FlateDecode" && filter != "Fl") {
            return false;
        }
        if (predicted || !inflateZlib(*objects, kMaxUnpackedBytes - tree->unpacked, &inflated)) {
            return false;
        }
        tree->unpacked += inflated.size();
        // Reading the unpacked objects is paid for like reading the file.
        tree->budget += 8 * qint64(inflated.size());
        buffer->swap(inflated);
        *objects = *buffer;
    }
    return true;
}

// The objects of an unpacked object stream, as the engine finds them: count pairs of object
// number and offset (from first) up front, words that are no number counting as 0, the objects
// after them. Pairs are read at least as far as first.
void scanObjectStream(PageTree *tree, std::string_view data, qint64 count, qint64 first)
{
    if (first < 0 || first > qint64(data.size())) {
        return;
    }
    PdfScanner pairs(data, &tree->budget);
    PdfScanner objects(data, &tree->budget);
    qint64 number = 0;
    qint64 offset = 0;
    for (qint64 pair = 0; (pair < count || qint64(pairs.at()) < first)
         && pairs.nextNumberWord(&number) && pairs.nextNumberWord(&offset);
         ++pair) {
        if (number != 0 && offset >= 0 && offset < qint64(data.size()) - first) {
            objects.seek(std::size_t(first + offset));
            record(tree, number, objects.parseObject());
        }
    }
}

// Every object defined in the file by "N G obj", and every object in its object streams.
void scanFile(PageTree *tree, std::string_view text)
{
    PdfScanner scanner(text, &tree->budget);
    std::vector<qint64> tails;
    std::string buffer;
    std::size_t pos = 0;
    while (!scanner.exhausted() && (pos = text.find("obj", pos)) != std::string_view::npos) {
        const std::size_t keyword = pos;
        pos += 3;
        qint64 number = 0;
        tails.clear();
        if (!scanner.isObjectHeader(keyword, &number, &tails)) {
            continue;
        }
        // Objects are read where they start, even inside another one (a string may hide one
        // the cross-reference data points into).
        scanner.seek(pos);
        const PdfValue value = scanner.parseObject();
        if (record(tree, number, value)) {
            for (const qint64 tail : tails) {
                tree->tails.emplace_back(tail, number);
            }
        }
        const PdfValue *first = value.find("First");
        const PdfValue *count = value.find("N");
        if (value.kind != PdfValue::Dictionary || !value.has("Type", "ObjStm") || !first
            || first->kind != PdfValue::Integer) {
            continue;
        }
        std::string_view objects;
        if (!unpackObjectStream(tree, value, streamData(scanner, value), &buffer, &objects)) {
            tree->uncheckable = true;
            return;
        }
        // The engine reads no more than 2^22 objects from one stream.
        const bool counted = count && count->kind == PdfValue::Integer && count->number < (1 << 22);
        scanObjectStream(tree, objects, counted ? count->number : 0, first->number);
    }
    tree->uncheckable = tree->uncheckable || scanner.exhausted();
}

// The objects listed under from in source added to those listed under to, when there are any.
void appendAll(Lists *lists, qint64 to, const Lists &source, qint64 from)
{
    const auto found = source.constFind(from);
    if (found != source.cend()) {
        const std::vector<qint64> copy = *found; // source may be lists
        std::vector<qint64> &list = (*lists)[to];
        list.insert(list.end(), copy.begin(), copy.end());
    }
}
} // namespace

bool pdfPageTreeMayLoop(const QByteArray &pdf)
{
    const std::string_view text(pdf.constData(), std::size_t(pdf.size()));
    PageTree tree;
    // Enough for every byte to be read a few times over.
    tree.budget = 8 * qint64(text.size()) + 65536;
    scanFile(&tree, text);
    if (tree.uncheckable) {
        return true;
    }
    // A tail of digits names its object only where no object of that number is defined.
    for (const auto &[tail, number] : tree.tails) {
        if (!tree.defined.contains(tail)) {
            appendAll(&tree.kids, tail, tree.kids, number);
            appendAll(&tree.kidsHeldBy, tail, tree.kidsHeldBy, number);
            appendAll(&tree.arrays, tail, tree.arrays, number);
        }
    }
    for (auto node = tree.kidsHeldBy.cbegin(); node != tree.kidsHeldBy.cend(); ++node) {
        for (const qint64 holder : node.value()) {
            appendAll(&tree.kids, node.key(), tree.arrays, holder);
        }
    }
    const Lists &nodes = tree.kids;

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
