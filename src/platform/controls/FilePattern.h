#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// A file list's pattern: wildcards ("*" any run of characters, "?" one character)
// separated by ";", matched against whole file names without regard to case.
class FilePattern {
public:
    // The longest pattern text taken; anything longer is refused.
    static constexpr qsizetype kMaxLength = 260;

    // Empty when the text is not a usable pattern: a piece naming a folder (it holds
    // a path separator), a control character, or an unreasonably long text. An empty
    // text is a valid pattern that matches nothing.
    [[nodiscard]] static std::optional<FilePattern> parse(const QString &text);

    [[nodiscard]] bool matches(const QString &fileName) const;
    [[nodiscard]] const QStringList &pieces() const { return m_pieces; }

private:
    explicit FilePattern(QStringList foldedPieces);

    QStringList m_pieces; // case-folded, blank pieces dropped
    // Pieces of the usual "*.ext" form, as their suffixes: matched without folding
    // the name, which is most of the cost of listing a large folder.
    QStringList m_suffixes;
    QStringList m_wildPieces;
    bool m_matchesAll = false;
};

// Names in the lists' order: by case-folded name, ties by the name itself.
[[nodiscard]] QStringList sortedWithoutRegardToCase(const QStringList &names);

// Whether a case-folded name matches one case-folded wildcard piece.
[[nodiscard]] bool wildcardMatch(QStringView piece, QStringView name);
