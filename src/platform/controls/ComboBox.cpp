#include "ComboBox.h"

#include <QLineEdit>

ComboBox::ComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    // When editing ends (Tab, a click elsewhere, a menu opening) the combo box picks
    // the item that matches the text and reports it as chosen. That is no choice of
    // the user's: the two connections around the combo box's own one mark it.
    auto *edit = new QLineEdit(this);
    connect(edit, &QLineEdit::editingFinished, this, [this] { m_endingEdit = true; });
    setLineEdit(edit);
    connect(edit, &QLineEdit::editingFinished, this, [this] { m_endingEdit = false; });
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
        if (m_endingEdit)
            return;
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
