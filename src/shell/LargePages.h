#pragma once

// Large pictures are decoded into buffers of tens of megabytes, and each 4 KB page of a
// fresh buffer costs a fault, several microseconds on a virtual machine: a 24-megapixel
// photo can spend longer in faults than in decoding. glibc backs its large blocks with
// 2 MB pages when its tunables ask for it, and reads them only when a program starts.

// Asks glibc, for the programs started from now on, to back large blocks with large
// pages. False (and nothing changed) when the user chose that setting already, when the
// system has no large pages, or when the environment cannot take it.
bool askForLargePages();

// The installed launcher asks before the viewer starts. Started otherwise, the program
// starts itself again, once, with the setting; it returns (and goes on as it is) when
// the setting is there already or was not wanted, or when it cannot start again. On
// return the environment is the user's own again (see giveBackUsersTunables()).
void startAgainWithLargePages(char *argv[]);

// glibc reads the setting only as a program starts: once started, the viewer puts the
// variable back as the user had it, so that the programs it opens files with do not
// inherit a setting that was made for it. Call it before any thread starts.
void giveBackUsersTunables();
