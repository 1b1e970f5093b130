#pragma once

class ApplicationServices;
class Clipboard;
class DecodePool;
class FileSystem;
class MessageBoxes;
class PictureCache;
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
    // Every picture decoded off the user-interface thread is decoded here, and the
    // ones decoded ahead are kept in the cache.
    DecodePool &decodePool;
    PictureCache &pictureCache;
};
