#include "ui/fonts.h"

#include <QStringList>

namespace tallowick {

QFont mingFont(qreal pointSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("新細明體"), QStringLiteral("PMingLiU"),
                      QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Serif CJK TC"),
                      QStringLiteral("AR PL UMing TW"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace tallowick
