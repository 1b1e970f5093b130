#pragma once

#include <QString>

class Form1;
struct Form1Controls;
struct Services;
class WorkingValues;

// Hands the current picture file to the desktop: opened with the program that
// opens its type, or moved to the trash after a question.
class FileCommands {
public:
    static inline const QString kPleaseSelectAFile = QStringLiteral("Please Select A File");

    FileCommands(Form1 &hub, const Services &services);

    // "Run File Now...": the picture last loaded from the file list.
    void run1_Click();
    // "Delete File...": the file list's selection, to the trash; the folder is read
    // again whatever the answer.
    void delete_Click();

    // The question before a file goes to the trash.
    [[nodiscard]] static QString deleteQuestion(const QString &path);

private:
    Form1 &m_hub;
    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
};
