#pragma once

#include "ComboBox.h"
#include "DirListBox.h"
#include "DriveListBox.h"
#include "FileListBox.h"
#include "IntervalTimer.h"
#include "MenuItem.h"
#include "PictureBox.h"
#include "PictureElement.h"
#include "ScrollBar.h"

#include <QGroupBox>
#include <QLabel>

// Every entry of the main window's menu bar, in menu order.
struct Form1Menus {
    MenuItem *filemenu, *Copyto, *clip1, *copy1, *temp1, *home1, *work1, *per1, *future1, *view2,
        *line4, *run1, *delete_, *line8, *refresh1, *systray, *line5, *exitmenu;
    MenuItem *optionmenu, *zoom1, *In1, *Out1, *normal1, *fullscreen1, *line, *St1, *auto1, *Act1,
        *line2, *fullscreen, *viewmenu, *adjustmenu, *line3, *startup, *Jump1, *TrayMin1, *line20,
        *go1, *goto1;
    MenuItem *help1, *tip, *About1;
    MenuItem *pause1, *play1;
    MenuItem *copyf, *temp2, *line15, *home2, *line16, *work2, *line13, *per2, *line14, *future2;
    MenuItem *speed3, *fastest1, *line11, *fast1, *line6, *medium1, *line7, *slow1, *line12,
        *slowest1;
    MenuItem *Tray1, *stop1;
};

// The main window's controls. The window owns them; the objects that handle their
// events reach them through here.
struct Form1Controls {
    QLabel *Image4;
    DriveListBox *Drive1;
    DirListBox *Dir1;
    ComboBox *Combo1;
    FileListBox *File1;
    FileListBox *File2;
    FileListBox *File3;
    QGroupBox *Frame1;
    QLabel *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
    PictureBox *Picture5;
    PictureElement *Image1;
    ScrollBar *HScroll1;
    ScrollBar *VScroll1;
    // Hidden holders of the stock pictures.
    PictureBox *Picture1, *Picture2, *Picture3, *Picture4;
    // Hidden labels that keep the window's working values; WorkingValues reads and
    // writes them.
    QLabel *Label1, *Label2, *Label3, *Label11, *Label12, *Label13;
    IntervalTimer *Timer1;
    IntervalTimer *Timer2;
    Form1Menus menus;
};
