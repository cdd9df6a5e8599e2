// Inode flag requests, which Windows does not have (see sys/ioctl.h).
#pragma once
#define FS_IOC_GETFLAGS 0x80086601UL
#define FS_IOC_SETFLAGS 0x40086602UL
#define FS_IMMUTABLE_FL 0x00000010
