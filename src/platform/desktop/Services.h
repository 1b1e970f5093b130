#pragma once

class ApplicationServices;
class Clipboard;
class FileSystem;
class MessageBoxes;
class PictureSource;
class Registry;
class Screen;
class Shell;
class Tray;
class Volumes;
class WorkingFolders;

// What the program needs of the desktop, handed to the main window at creation.
// The program uses the real desktop; behaviour tests hand in fakes.
struct Services {
    MessageBoxes &messages;
    FileSystem &files;
    Volumes &volumes;
    WorkingFolders &working;
    Registry &registry;
    PictureSource &pictures;
    Screen &screen;
    Clipboard &clipboard;
    Shell &shell;
    Tray &tray;
    ApplicationServices &application;
};
