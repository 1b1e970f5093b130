#include "FilePattern.h"

#include <algorithm>
#include <numeric>
#include <vector>

std::optional<FilePattern> FilePattern::parse(const QString &text)
{
    if (text.size() > kMaxLength)
        return std::nullopt;
    QStringList pieces;
    for (const QChar c : text) {
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control)
            return std::nullopt;
    }
    for (const QString &raw : text.split(QLatin1Char(';'))) {
        const QString piece = raw.trimmed();
        // As on other desktops, "*.*" means every file, dotted or not.
        if (piece == QLatin1String("*.*"))
            pieces.append(QStringLiteral("*"));
        else if (!piece.isEmpty())
            pieces.append(piece.toCaseFolded());
    }
    return FilePattern(pieces);
}

FilePattern::FilePattern(QStringList foldedPieces) : m_pieces(std::move(foldedPieces))
{
    for (const QString &piece : std::as_const(m_pieces)) {
        const QStringView rest = QStringView(piece).mid(1);
        if (piece == QLatin1String("*"))
            m_matchesAll = true;
        else if (piece.startsWith(QLatin1Char('*')) && !rest.contains(QLatin1Char('*')) &&
                 !rest.contains(QLatin1Char('?')))
            m_suffixes.append(rest.toString());
        else
            m_wildPieces.append(piece);
    }
}

bool FilePattern::matches(const QString &fileName) const
{
    if (m_matchesAll)
        return true;
    for (const QString &suffix : m_suffixes) {
        if (fileName.endsWith(suffix, Qt::CaseInsensitive))
            return true;
    }
    if (m_wildPieces.isEmpty())
        return false;
    const QString folded = fileName.toCaseFolded();
    return std::any_of(m_wildPieces.cbegin(), m_wildPieces.cend(),
                       [&](const QString &piece) { return wildcardMatch(piece, folded); });
}

bool wildcardMatch(QStringView piece, QStringView name)
{
    // Greedy match with one backtrack point: linear in practice, never exponential.
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starAt = -1;
    qsizetype resumeAt = 0;
    while (n < name.size()) {
        if (p < piece.size() && (piece[p] == QLatin1Char('?') || piece[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < piece.size() && piece[p] == QLatin1Char('*')) {
            starAt = p++;
            resumeAt = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < piece.size() && piece[p] == QLatin1Char('*'))
        ++p;
    return p == piece.size();
}

// Each name is folded only once: sorting a large folder compares names many times.
QStringList sortedWithoutRegardToCase(const QStringList &names)
{
    QStringList folded;
    folded.reserve(names.size());
    for (const QString &name : names)
        folded.append(name.toCaseFolded());
    std::vector<qsizetype> order(static_cast<size_t>(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int byFolded = QString::compare(folded.at(a), folded.at(b), Qt::CaseSensitive);
        return byFolded != 0 ? byFolded < 0 : names.at(a) < names.at(b);
    });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const qsizetype index : order)
        sorted.append(names.at(index));
    return sorted;
}
