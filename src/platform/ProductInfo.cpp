#include "ProductInfo.h"

TVersionRecord ReadVersionRecord() {
    return {QStringLiteral(SORTELLE_PRODUCT_NAME), QStringLiteral(SORTELLE_PRODUCT_VERSION),
            QStringLiteral(SORTELLE_COPYRIGHT)};
}
