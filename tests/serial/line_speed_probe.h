// Line speed of an open terminal in bit/s; 0 when it cannot be read.
#pragma once

unsigned int probeLineSpeed(int fd);
