#pragma once

// The characters a run of text stands for when its font is a symbol font: the
// Symbol and Wingdings layouts mapped to Unicode that installed fonts draw.

#include "GdiTypes.h"

#include <QString>

namespace metafile::gdi {

enum class SymbolKind { None, Symbol, Wingdings, Wingdings2, Wingdings3, Webdings };

// Which symbol font, if any, the face names.
[[nodiscard]] SymbolKind symbolKind(const Font &f);
// The characters a symbol font of that kind draws for the byte values in text;
// text itself when kind is None.
[[nodiscard]] QString mapSymbols(const QString &text, SymbolKind kind);

} // namespace metafile::gdi
