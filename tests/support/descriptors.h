// The open file descriptors of the test process, to tell a call that closes
// what it opened from one that leaves a file open behind a failure.
#ifndef KAV_TESTS_DESCRIPTORS_H
#define KAV_TESTS_DESCRIPTORS_H

namespace kavtest {

// The number of descriptors the process has open now (the entries of
// /proc/self/fd, less the one the count itself uses); -1 where the system
// does not list them.
int open_descriptors();

}  // namespace kavtest

#endif
