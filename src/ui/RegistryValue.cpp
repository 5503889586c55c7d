#include "ui/RegistryValue.h"

namespace {
RegistryValue::Reader& testReader()
{
    static RegistryValue::Reader reader;
    return reader;
}
}

QString RegistryValue::Decode(const QByteArray& written, quint32 type, const QString& keyVal)
{
    QByteArray kept = written;
    if (!kept.isEmpty() && kept.back() == '\0')
        kept.chop(1);

    switch (type) {
    case TypeString:
        return QString::fromLatin1(kept);
    case TypeDword: {
        QString digits = keyVal;
        for (qsizetype i = kept.size() - 1; i >= 0; --i)
            digits += QString::number(static_cast<uchar>(kept.at(i)), 16).toUpper();
        return QStringLiteral("&h") + digits;
    }
    default:
        return keyVal;
    }
}

bool RegistryValue::Read(quint32 root, const QString& keyName, const QString& valueName, Raw& out)
{
    if (testReader())
        return testReader()(root, keyName, valueName, out);
    return false;
}

void RegistryValue::setReaderForTesting(Reader reader)
{
    testReader() = std::move(reader);
}
