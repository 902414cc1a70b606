#pragma once
// Writes to a file descriptor that report the system's reason when they fail. A file device of
// the toolkit reports a short write (the disk filled up part-way) as "Unknown error", because
// the failing call is never made; here it is, and its errno is kept.

#include <QString>

namespace korvane {

// Writes all size bytes. False when that fails, with the system's reason in *reason.
bool writeAllToFd(int fd, const char* data, qint64 size, QString* reason);

}  // namespace korvane
