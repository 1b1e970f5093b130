#pragma once

// Large pictures are decoded into buffers of tens of megabytes, and each 4 KB page of a
// fresh buffer costs a fault, several microseconds on a virtual machine: a 24-megapixel
// photo can spend longer in faults than in decoding. glibc backs its large blocks with
// 2 MB pages when its tunables ask for it, and reads them only when a program starts;
// so the program starts itself again, once, with that set. It returns (and the program
// goes on as it is) when the setting is there already, was chosen otherwise by the
// user, when the system has no large pages, or when the program cannot start again.
void startAgainWithLargePages(char *argv[]);
