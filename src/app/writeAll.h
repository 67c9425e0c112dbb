// Writing a whole buffer to a file descriptor.
#pragma once

#include <cstddef>

// Writes all len bytes, again after an interruption; false when the file
// takes no more, with errno telling why (ENOSPC when it took nothing).
bool writeAll(int fd, const void* data, std::size_t len);
