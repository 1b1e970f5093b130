#include "SvgDocument.h"

#include "Bytes.h"

#include <QHash>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <vector>
#include <zlib.h>

namespace picture {

namespace {

// Unpacks at most limit bytes; *complete says whether the stream ended within them.
std::optional<QByteArray> inflateUpTo(QByteArrayView packed, qsizetype limit, bool *complete)
{
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) // gzip framing only
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.data()));
    stream.avail_in = uInt(qMin<qsizetype>(packed.size(), std::numeric_limits<uInt>::max()));
    QByteArray out;
    int status = Z_OK;
    while (status == Z_OK && out.size() < limit) {
        const qsizetype chunk = qMin<qsizetype>(limit - out.size(), 1 << 20);
        const qsizetype before = out.size();
        out.resize(before + chunk);
        stream.next_out = reinterpret_cast<Bytef *>(out.data() + before);
        stream.avail_out = uInt(chunk);
        status = inflate(&stream, Z_NO_FLUSH);
        out.resize(before + chunk - qsizetype(stream.avail_out));
    }
    inflateEnd(&stream);
    *complete = status == Z_STREAM_END;
    if (status != Z_OK && status != Z_STREAM_END)
        return std::nullopt;
    return out;
}

// Skips what may come before the root element; false when the text ends first.
bool skipProlog(QByteArrayView &text)
{
    for (;;) {
        while (!text.isEmpty() && QChar::isSpace(uchar(text.front())))
            text = text.sliced(1);
        qsizetype end = -1;
        if (text.startsWith("<?"))
            end = text.indexOf("?>") + 2;
        else if (text.startsWith("<!--"))
            end = text.indexOf("-->") + 3;
        else if (text.startsWith("<!DOCTYPE")) {
            const qsizetype subset = text.indexOf('[');
            const qsizetype close = text.indexOf('>');
            end = (subset >= 0 && subset < close ? text.indexOf("]>") + 1 : close) + 1;
        } else
            return !text.isEmpty();
        if (end <= 0)
            return false;
        text = text.sliced(end);
    }
}

// A picture embedded as data that Qt reads as the plain raster it says it is:
// anything else (another SVG above all) could refer to files of its own.
bool isPlainRasterData(QStringView href)
{
    const qsizetype comma = href.indexOf(QLatin1Char(','));
    if (comma < 0 || !href.left(comma).endsWith(QLatin1String(";base64")))
        return false;
    const QByteArray data = QByteArray::fromBase64(href.mid(comma + 1).toLatin1());
    return data.startsWith("\x89PNG\r\n\x1a\n") || data.startsWith("\xFF\xD8\xFF") ||
           data.startsWith("GIF8");
}

bool isSafeReference(QStringView href)
{
    const QStringView value = href.trimmed();
    if (value.startsWith(QLatin1Char('#')))
        return true;
    return value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive) &&
           isPlainRasterData(value);
}

// Every element, its parent and what its <use> draws, to count the work of drawing.
struct Element {
    int parent;
    QString useTarget;
};

// The elements drawing visits from the root, each <use> counting its target's
// subtree again; more than kMaxSvgWork (or a <use> that draws itself) is -1.
qint64 drawingWork(const std::vector<Element> &elements, const QHash<QString, int> &ids)
{
    const int n = int(elements.size());
    std::vector<std::vector<int>> next(static_cast<size_t>(n)); // children, then the use target
    for (int i = 1; i < n; ++i)
        next[size_t(elements[size_t(i)].parent)].push_back(i);
    for (int i = 0; i < n; ++i) {
        const auto target = ids.constFind(elements[size_t(i)].useTarget);
        if (!elements[size_t(i)].useTarget.isEmpty() && target != ids.cend())
            next[size_t(i)].push_back(*target);
    }
    // Depth first without recursion: -2 not seen, -1 being counted, else the work.
    std::vector<qint64> work(size_t(n), -2);
    std::vector<std::pair<int, size_t>> stack{{0, 0}};
    work[0] = -1;
    while (!stack.empty()) {
        auto &[node, edge] = stack.back();
        if (edge < next[size_t(node)].size()) {
            const int to = next[size_t(node)][edge++];
            if (work[size_t(to)] == -1)
                return -1; // a cycle
            if (work[size_t(to)] == -2) {
                work[size_t(to)] = -1;
                stack.push_back({to, 0});
            }
            continue;
        }
        qint64 sum = 1;
        for (const int to : next[size_t(node)])
            sum = qMin(sum + work[size_t(to)], kMaxSvgWork + 1);
        work[size_t(node)] = sum;
        stack.pop_back();
    }
    return work[0] > kMaxSvgWork ? -1 : work[0];
}

QString hrefOf(const QXmlStreamAttributes &attributes)
{
    for (const QXmlStreamAttribute &a : attributes)
        if (a.name() == QLatin1String("href"))
            return a.value().toString();
    return {};
}

void copyStart(const QXmlStreamReader &r, QXmlStreamWriter &w)
{
    for (const QXmlStreamNamespaceDeclaration &ns : r.namespaceDeclarations())
        w.writeNamespace(ns.namespaceUri().toString(), ns.prefix().toString());
    w.writeStartElement(r.namespaceUri().toString(), r.name().toString());
    for (const QXmlStreamAttribute &a : r.attributes()) {
        if (a.name() == QLatin1String("href") && !isSafeReference(a.value()))
            continue;
        w.writeAttribute(a);
    }
}

} // namespace

bool isGzip(QByteArrayView bytes)
{
    return bytes.size() >= 3 && bytes.startsWith("\x1F\x8B\x08");
}

std::optional<QByteArray> gunzip(QByteArrayView packed, qsizetype limit)
{
    // The size a gzip stream gives at its end is refused before any unpacking; one
    // that lies is stopped at the limit all the same.
    if (packed.size() >= 4 && Bytes(packed).u32le(packed.size() - 4) > quint64(limit))
        return std::nullopt;
    bool complete = false;
    std::optional<QByteArray> out = inflateUpTo(packed, limit, &complete);
    return out && complete ? out : std::nullopt;
}

bool looksLikeSvg(QByteArrayView text)
{
    text = text.first(qMin<qsizetype>(text.size(), 4096));
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    if (!skipProlog(text) || !text.startsWith("<svg") || text.size() < 5)
        return false;
    const char after = text[4];
    return after == '>' || QChar::isSpace(uchar(after));
}

bool isSvgFile(QByteArrayView bytes)
{
    if (!isGzip(bytes))
        return looksLikeSvg(bytes);
    bool complete = false;
    const std::optional<QByteArray> head = inflateUpTo(bytes, 4096, &complete);
    return head && looksLikeSvg(*head);
}

std::optional<QByteArray> safeSvg(QByteArrayView bytes, QString *why)
{
    QXmlStreamReader r(QByteArray::fromRawData(bytes.data(), bytes.size()));
    QByteArray out;
    QXmlStreamWriter w(&out);
    std::vector<Element> elements{{-1, {}}}; // a root above the document's own
    QHash<QString, int> ids;
    int current = 0;
    int depth = 0;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (++depth > kMaxSvgDepth || qint64(elements.size()) > kMaxSvgWork) {
                *why = QStringLiteral("SVG nested too deep or too large");
                return std::nullopt;
            }
            const QXmlStreamAttributes attributes = r.attributes();
            const QString href = r.name() == QLatin1String("use") ? hrefOf(attributes) : QString();
            elements.push_back(
                {current, href.startsWith(QLatin1Char('#')) ? href.mid(1) : QString()});
            current = int(elements.size()) - 1;
            if (const QStringView id = attributes.value(QLatin1String("id")); !id.isEmpty())
                ids.insert(id.toString(), current);
            copyStart(r, w);
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            current = elements[size_t(current)].parent;
            w.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (r.isCDATA())
                w.writeCDATA(r.text().toString());
            else
                w.writeCharacters(r.text().toString());
            break;
        default: // the prolog, comments, processing instructions: none is drawn
            break;
        }
    }
    if (r.hasError()) {
        *why = QStringLiteral("SVG not well formed: %1").arg(r.errorString());
        return std::nullopt;
    }
    if (drawingWork(elements, ids) < 0) {
        *why = QStringLiteral("SVG too costly to draw");
        return std::nullopt;
    }
    return out;
}

} // namespace picture
