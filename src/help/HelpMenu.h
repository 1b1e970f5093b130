#pragma once

#include <QPointer>

class Form10;
class Form4;
class QWidget;
struct Services;

// The "&Help" menu: the pointer to the readme with the tips window, and About.
class HelpMenu {
public:
    // The windows belong to owner.
    HelpMenu(QWidget &owner, const Services &services);
    ~HelpMenu();
    HelpMenu(const HelpMenu &) = delete;
    HelpMenu &operator=(const HelpMenu &) = delete;

    void tip_Click();
    void About1_Click();

    // The open windows, or null.
    [[nodiscard]] Form10 *tipsWindow() const;
    [[nodiscard]] Form4 *aboutWindow() const;

private:
    QWidget &m_owner;
    const Services &m_services;
    QPointer<Form10> m_form10;
    QPointer<Form4> m_form4;
};
