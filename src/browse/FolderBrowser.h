#pragma once

#include <QString>

class PanelFitter;
class WorkingValues;
struct Form1Controls;
struct Services;

// The drive, folder and file lists with the picture-type filter. A drive, folder or
// filter change re-reads the lists and returns the viewing panel to its placeholder.
class FolderBrowser {
public:
    static inline const QString kAllReadable = QStringLiteral("ALL Readable Format");
    // The first nine types, then every other type read.
    static inline const QString kAllReadablePattern =
        QStringLiteral("*.bmp;*.gif;*.jpg;*.ico;*.cur;*.Rle;*.Dib;*.Wmf;*.Emf;"
                       "*.jpeg;*.jpe;*.jfif;*.png;*.webp;*.tif;*.tiff;*.heic;*.heif;*.hif;"
                       "*.avif;*.jxl;*.svg;*.svgz");
    // The filter list, in order.
    [[nodiscard]] static QStringList filterItems();

    FolderBrowser(Form1Controls &controls, WorkingValues &values, const Services &services,
                  PanelFitter &fitter);

    void Drive1_Change();
    void Dir1_Change();
    void Combo1_Click();
    void Combo1_Change();
    void refresh1_Click();

private:
    [[nodiscard]] bool showFolder();
    void recoverFromUnreadableFolder();
    void settleOnReadableFolder();
    [[nodiscard]] bool applyFilter();

    Form1Controls &c;
    WorkingValues &m_values;
    const Services &m_services;
    PanelFitter &m_fitter;
    // Set while falling back from an unreadable folder, so that a fallback that
    // fails in turn ends the chain instead of starting another.
    bool m_recovering = false;
    // Set while a drive that failed gives way to the home volume and back.
    bool m_fallingBack = false;
};
