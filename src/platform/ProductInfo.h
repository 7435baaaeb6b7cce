#pragma once
// The program's version record: product name, version and copyright text,
// compiled in from the build's project settings.

#include <QString>

struct TVersionRecord {
    QString ProductName;
    QString ProductVersion;
    QString LegalCopyright;
};

TVersionRecord ReadVersionRecord();
