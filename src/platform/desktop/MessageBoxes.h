#pragma once

#include <QString>

// Modal messages with an OK button. The style picks the icon.
class MessageBoxes {
public:
    enum Style { NoIcon = 0, Critical = 16, Question = 32 };
    // The button that Enter presses.
    enum DefaultAnswer { DefaultYes, DefaultNo };

    static inline const QString kApplicationTitle = QStringLiteral("Quorvel 1.36");

    virtual ~MessageBoxes() = default;
    // An empty title shows the application title.
    virtual void show(const QString &text, int style = NoIcon, const QString &title = {}) = 0;
    // A yes/no question; true for yes.
    [[nodiscard]] virtual bool confirm(const QString &text, const QString &title,
                                       DefaultAnswer byDefault = DefaultYes) = 0;
};

class QtMessageBoxes final : public MessageBoxes {
public:
    void show(const QString &text, int style, const QString &title) override;
    [[nodiscard]] bool confirm(const QString &text, const QString &title,
                               DefaultAnswer byDefault) override;
};
