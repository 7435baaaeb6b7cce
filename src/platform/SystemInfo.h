#pragma once
// The operating system the program runs on, as the about window shows it:
// the platform's name, the machine's bitness and the version numbers.
//
// The platform is the kernel (QSysInfo::kernelType(), "linux" shown as
// "Linux"): the version numbers shown beside it are the kernel's, so name and
// numbers describe the same thing, as the Windows name and the Windows version
// numbers did. The queries are made once, on first use, and kept for the run.

#include <QString>

struct TSystemInfo {
    QString KernelType;      // QSysInfo::kernelType(), e.g. "linux"
    QString KernelVersion;   // QSysInfo::kernelVersion(), e.g. "6.1.0-18-amd64"
    QString CpuArchitecture; // the machine's architecture, e.g. "x86_64", "arm64", "i386"
    int ProcessWordSize = 0; // bits of a pointer in this process (used when the machine says nothing)
};

// What the running system reports; queried on the first call only.
const TSystemInfo& SystemInfo();

// Tests replace the system: the info given is returned by SystemInfo() until
// the next call; nullptr goes back to the running system.
void SetSystemInfo(const TSystemInfo* info);

// The platform's display name: "Linux", "FreeBSD", "Darwin", ...; any other
// kernel type with its first letter capitalised; "Unknown" when empty.
QString PlatformName(const QString& kernelType);

// The bitness number of a machine architecture: 64 for every 64-bit
// architecture (x86_64, arm64/aarch64, riscv64, ppc64, s390x, ...), 86 for
// 32-bit x86 (i386 ... i686, x86), 32 for any other 32-bit architecture. When
// the machine reports no name: 64 for a 64-bit word size, else 32.
int BitnessNumber(const QString& cpuArchitecture, int fallbackWordSize = 0);

// Major and minor version numbers of a kernel version text: "6.1.0-18-amd64"
// gives 6 and 1. A part that is missing or not a number gives 0.
int MajorVersion(const QString& kernelVersion);
int MinorVersion(const QString& kernelVersion);
