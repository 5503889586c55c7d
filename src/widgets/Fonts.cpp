#include "widgets/Fonts.h"
#include <QStringList>

namespace {
QFont make(const QStringList& families, double pointSize, bool bold, QFont::StyleHint hint)
{
    QFont f;
    f.setFamilies(families);
    f.setStyleHint(hint);
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}
}

QFont Fonts::msSansSerif(double pointSize, bool bold)
{
    return make({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                    QStringLiteral("Liberation Sans")},
        pointSize, bold, QFont::SansSerif);
}

QFont Fonts::arial(double pointSize, bool bold)
{
    return make({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}, pointSize, bold, QFont::SansSerif);
}

QFont Fonts::courierNew(double pointSize)
{
    QFont f = make({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")}, pointSize, false, QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}
