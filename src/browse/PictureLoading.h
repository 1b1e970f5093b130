#pragma once

#include <QString>

class Form1;
struct Form1Controls;
struct Services;

// Loads the file selected in the file list into the viewing panel and fills the
// "File's Information" frame; a file that cannot be shown is reported and the
// browser starts over.
class PictureLoading {
public:
    static inline const QString kNotSupported = QStringLiteral(
        "This File Type is not supported yet in this version or the file is not accessible!");

    PictureLoading(Form1 &hub, const Services &services);

    void File1_Click();

private:
    [[nodiscard]] bool showSelectedFile();
    void startOver();

    Form1 &m_hub;
    Form1Controls &c;
    const Services &m_services;
};
