#include "ImageList.h"

#include <QList>

QIcon imlFormIcon(int index) {
    static const QList<QIcon> icons = [] {
        QList<QIcon> list;
        for (int i = 0; i < 17; ++i)
            list.append(QIcon(QStringLiteral(":/icons/imlForm/%1.svg").arg(i, 2, 10, QChar(u'0'))));
        return list;
    }();
    if (index < 0 || index >= icons.size())
        return {};
    return icons.at(index);
}
