#pragma once

#include <QComboBox>

// An editable combo box with a change event on every edit of its text (each
// keystroke, or code setting a different text) and a click event when an item of
// its list is chosen.
class ComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit ComboBox(QWidget *parent = nullptr);

    [[nodiscard]] QString text() const { return m_text; }
    // Raises Change when the text differs from the current one.
    void setText(const QString &text);

Q_SIGNALS:
    void Change();
    void Click();

private:
    QString m_text;
    bool m_endingEdit = false;
};
