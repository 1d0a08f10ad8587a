#pragma once
// The processes a measured program started (its web and network processes), read from /proc.
#include <sys/types.h>

#include <vector>

namespace bench {

// `root` and every process descended from it, `root` first.
std::vector<pid_t> process_tree(pid_t root);

// Peak resident set (VmHWM) of one process in KiB; 0 when it is gone.
long peak_rss_kib(pid_t pid);

// Proportional set size of one process now in KiB (pages shared with n processes count 1/n);
// 0 when it is gone.
long pss_kib(pid_t pid);

}  // namespace bench
