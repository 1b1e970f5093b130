#pragma once

#include <QString>

class FolderBrowser;
class PictureLoading;
class WorkingValues;
struct Form1Controls;
struct Services;

// Hands the current picture file to the desktop: opened with the program that
// opens its type, or moved to the trash after a question.
class FileCommands {
public:
    static inline const QString kPleaseSelectAFile = QStringLiteral("Please Select A File");

    FileCommands(Form1Controls &controls, WorkingValues &values, const Services &services,
                 FolderBrowser &browser, PictureLoading &loading);

    // "Run File Now...": the picture last loaded from the file list.
    void run1_Click();
    // "Delete File...": the file list's selection, to the trash; the folder is read
    // again whatever the answer.
    void delete_Click();

    // The question before a file goes to the trash.
    [[nodiscard]] static QString deleteQuestion(const QString &path);

private:
    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    FolderBrowser &m_browser;
    PictureLoading &m_loading;
};
