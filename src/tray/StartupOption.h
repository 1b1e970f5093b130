#pragma once

#include <QString>

class MessageBoxes;
class Registry;

// Stores one start-up option and tells the user how it went: the usual confirmation
// when it was stored, or that it could not be saved and why. True when stored.
[[nodiscard]] bool storeStartupOption(Registry &registry, MessageBoxes &messages,
                                      const QString &valueName, const QString &text);
