#pragma once

#include <QString>

class PictureLoading;
class WorkingValues;
struct FileOutcome;
struct Form1Controls;
struct Services;

// The VozeviZire tree in the home folder: five category folders that the user fills
// with copies of pictures. Each copy command creates whatever part of the tree is
// missing; nothing in it is ever removed or renamed by the program.
class FavouriteFolders {
public:
    // In menu order.
    enum class Category { Temp, HomePage, ForWork, Personal, FutureUse };

    static inline const QString kNoFileSelected = QStringLiteral("No File Selected!");
    static inline const QString kProcessFinished = QStringLiteral("Process Finished!");
    static inline const QString kCopyFailed = QStringLiteral("Copy Failed!");

    FavouriteFolders(Form1Controls &controls, WorkingValues &values, const Services &services,
                     PictureLoading &loading);

    // The tree's root, "VozeviZire" in the home folder.
    [[nodiscard]] static QString root();
    [[nodiscard]] static QString folderOf(Category category);
    [[nodiscard]] static QString nameOf(Category category);
    // The title of the copy's messages, "Copy --> C:\VozeviZire\Temp".
    [[nodiscard]] static QString titleOf(Category category);

    // The File menu's "Copy File To  ..." items: the file list's selection, reloaded
    // first so that what is copied is what the panel shows.
    void temp1_Click() { copySelection(Category::Temp); }
    void home1_Click() { copySelection(Category::HomePage); }
    void work1_Click() { copySelection(Category::ForWork); }
    void per1_Click() { copySelection(Category::Personal); }
    void future1_Click() { copySelection(Category::FutureUse); }
    void copySelection(Category category);

    // Copies the file at path into the category under its own name and says how it
    // went; the paused full-screen show's copy menu uses this for its slide.
    void copyTo(Category category, const QString &path);
    // The paused window show's "C&opy -> VozeviZire" items: the slide it shows.
    void copySlide(Category category);

    // View My "VozeviZire": creates the tree and opens its root in the browser.
    void go1_Click();

private:
    void report(Category category, const FileOutcome &outcome);
    // Creates the root and the category's folder; either may exist already. Fails
    // when the category's folder is not there afterwards.
    FileOutcome createFolders(Category category);

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    PictureLoading &m_loading;
};
