#include "SystemInfo.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace {

const TSystemInfo* gReplacement = nullptr;

TSystemInfo QueryRunningSystem() {
    TSystemInfo info;
    info.KernelType = QSysInfo::kernelType();
    info.KernelVersion = QSysInfo::kernelVersion();
    // The machine's architecture (uname), not the one this program was built
    // for: a 32-bit build on a 64-bit machine still reports the machine.
    info.CpuArchitecture = QSysInfo::currentCpuArchitecture();
    info.ProcessWordSize = QSysInfo::WordSize;
    return info;
}

// The leading decimal number of a version component; 0 when there is none.
int LeadingNumber(const QString& text) {
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 1000000)
            break;
    }
    return value;
}

int VersionPart(const QString& kernelVersion, int index) {
    const QStringList parts = kernelVersion.trimmed().split(u'.');
    if (index >= parts.size())
        return 0;
    return LeadingNumber(parts.at(index));
}

} // namespace

const TSystemInfo& SystemInfo() {
    if (gReplacement)
        return *gReplacement;
    static const TSystemInfo running = QueryRunningSystem();
    return running;
}

void SetSystemInfo(const TSystemInfo* info) { gReplacement = info; }

QString PlatformName(const QString& kernelType) {
    const QString type = kernelType.trimmed().toLower();
    if (type.isEmpty())
        return QStringLiteral("Unknown");
    static const QList<QPair<QString, QString>> known = {
        {QStringLiteral("linux"), QStringLiteral("Linux")},
        {QStringLiteral("freebsd"), QStringLiteral("FreeBSD")},
        {QStringLiteral("netbsd"), QStringLiteral("NetBSD")},
        {QStringLiteral("openbsd"), QStringLiteral("OpenBSD")},
        {QStringLiteral("darwin"), QStringLiteral("Darwin")},
        {QStringLiteral("winnt"), QStringLiteral("Windows")},
    };
    for (const auto& [key, name] : known) {
        if (type == key)
            return name;
    }
    return type.left(1).toUpper() + type.mid(1);
}

int BitnessNumber(const QString& cpuArchitecture, int fallbackWordSize) {
    const QString arch = cpuArchitecture.trimmed().toLower();
    if (arch.isEmpty())
        return fallbackWordSize == 64 ? 64 : 32;
    static const QRegularExpression x86(QStringLiteral("^(i[3-7]86|x86|ia32)$"));
    if (x86.match(arch).hasMatch())
        return 86;
    // "64" in the name covers x86_64, amd64, arm64, aarch64, riscv64, ppc64(le),
    // power64, mips64(el), sparc64, loongarch64, ia64; the rest are 64-bit
    // architectures whose names do not say so.
    static const QStringList other64 = {QStringLiteral("s390x"), QStringLiteral("sparcv9"),
                                        QStringLiteral("alpha"), QStringLiteral("x64")};
    if (arch.contains(QLatin1String("64")) || other64.contains(arch))
        return 64;
    return 32;
}

int MajorVersion(const QString& kernelVersion) { return VersionPart(kernelVersion, 0); }

int MinorVersion(const QString& kernelVersion) { return VersionPart(kernelVersion, 1); }
