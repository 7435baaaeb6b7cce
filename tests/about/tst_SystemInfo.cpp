// The operating-system facts the about window shows: the bitness of machine
// architectures, the kernel's version numbers and the platform's name.
#include "common/TestMain.h"

#include "platform/SystemInfo.h"

#include <QSysInfo>

class TestSystemInfo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bitness_data() {
        QTest::addColumn<QString>("architecture");
        QTest::addColumn<int>("wordSize");
        QTest::addColumn<int>("bitness");
        // 64-bit machines, whatever the program's own word size.
        QTest::newRow("x86_64") << "x86_64" << 64 << 64;
        QTest::newRow("x86_64, 32-bit program") << "x86_64" << 32 << 64;
        QTest::newRow("amd64") << "amd64" << 64 << 64;
        QTest::newRow("arm64") << "arm64" << 64 << 64;
        QTest::newRow("aarch64") << "aarch64" << 64 << 64;
        QTest::newRow("riscv64") << "riscv64" << 64 << 64;
        QTest::newRow("ppc64le") << "ppc64le" << 64 << 64;
        QTest::newRow("power64") << "power64" << 64 << 64;
        QTest::newRow("mips64el") << "mips64el" << 64 << 64;
        QTest::newRow("loongarch64") << "loongarch64" << 64 << 64;
        QTest::newRow("ia64") << "ia64" << 64 << 64;
        QTest::newRow("s390x") << "s390x" << 64 << 64;
        QTest::newRow("sparcv9") << "sparcv9" << 64 << 64;
        QTest::newRow("upper case") << "X86_64" << 64 << 64;
        // 32-bit x86 keeps its "86".
        QTest::newRow("i386") << "i386" << 32 << 86;
        QTest::newRow("i686") << "i686" << 32 << 86;
        QTest::newRow("x86") << "x86" << 32 << 86;
        // Other 32-bit machines.
        QTest::newRow("arm") << "arm" << 32 << 32;
        QTest::newRow("armv7l") << "armv7l" << 32 << 32;
        QTest::newRow("riscv32") << "riscv32" << 32 << 32;
        QTest::newRow("mips") << "mips" << 32 << 32;
        QTest::newRow("power") << "power" << 32 << 32;
        QTest::newRow("s390") << "s390" << 32 << 32;
        // No name from the machine: the word size decides.
        QTest::newRow("unnamed, 64-bit") << "" << 64 << 64;
        QTest::newRow("unnamed, 32-bit") << "" << 32 << 32;
    }

    void bitness() {
        QFETCH(QString, architecture);
        QFETCH(int, wordSize);
        QFETCH(int, bitness);
        QCOMPARE(BitnessNumber(architecture, wordSize), bitness);
    }

    void versionNumbers_data() {
        QTest::addColumn<QString>("kernelVersion");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::newRow("Debian") << "6.1.0-18-amd64" << 6 << 1;
        QTest::newRow("two digits") << "5.15.0-91-generic" << 5 << 15;
        QTest::newRow("suffix on the minor") << "6.9-rc2" << 6 << 9;
        QTest::newRow("plus suffix") << "4.19+" << 4 << 19;
        QTest::newRow("leading zero") << "6.01" << 6 << 1;
        QTest::newRow("FreeBSD") << "13.2-RELEASE" << 13 << 2;
        QTest::newRow("major only") << "10" << 10 << 0;
        QTest::newRow("blanks around") << " 6.1.0 " << 6 << 1;
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("no numbers") << "unknown" << 0 << 0;
    }

    void versionNumbers() {
        QFETCH(QString, kernelVersion);
        QFETCH(int, major);
        QFETCH(int, minor);
        QCOMPARE(MajorVersion(kernelVersion), major);
        QCOMPARE(MinorVersion(kernelVersion), minor);
    }

    void platformName_data() {
        QTest::addColumn<QString>("kernelType");
        QTest::addColumn<QString>("name");
        QTest::newRow("linux") << "linux" << "Linux";
        QTest::newRow("freebsd") << "freebsd" << "FreeBSD";
        QTest::newRow("darwin") << "darwin" << "Darwin";
        QTest::newRow("winnt") << "winnt" << "Windows";
        QTest::newRow("other") << "haiku" << "Haiku";
        QTest::newRow("empty") << "" << "Unknown";
    }

    void platformName() {
        QFETCH(QString, kernelType);
        QFETCH(QString, name);
        QCOMPARE(PlatformName(kernelType), name);
    }

    // The running system is asked once; a replacement stands in until it is
    // taken away again.
    void runningSystemAndReplacement() {
        const TSystemInfo& running = SystemInfo();
        QCOMPARE(&SystemInfo(), &running);
        QCOMPARE(running.KernelType, QSysInfo::kernelType());
        QCOMPARE(running.CpuArchitecture, QSysInfo::currentCpuArchitecture());
        QVERIFY(MajorVersion(running.KernelVersion) > 0);

        const TSystemInfo fake{QStringLiteral("linux"), QStringLiteral("9.9"), QStringLiteral("riscv64"), 64};
        SetSystemInfo(&fake);
        QCOMPARE(SystemInfo().CpuArchitecture, QStringLiteral("riscv64"));
        SetSystemInfo(nullptr);
        QCOMPARE(&SystemInfo(), &running);
    }
};

SORTELLE_TEST_MAIN(TestSystemInfo)
#include "tst_SystemInfo.moc"
