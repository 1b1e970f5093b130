#include "ComboBox.h"

#include <QLineEdit>

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    // Typed text is a filter of its own: no completion, no new items on Enter.
    setCompleter(nullptr);
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) {
        if (text == m_text)
            return;
        m_text = text;
        Q_EMIT Change();
    });
    connect(this, &QComboBox::activated, this, [this](int index) {
        m_text = itemText(index);
        if (lineEdit()->text() != m_text)
            lineEdit()->setText(m_text);
        Q_EMIT Click();
    });
}

void ComboBox::setText(const QString &text)
{
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
    if (text == m_text)
        return;
    m_text = text;
    Q_EMIT Change();
}
