#include "port/nativepath.h"

#include <algorithm>

#include <fcntl.h>

namespace qbx {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscapedByte(QChar c)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}

// The length of the valid UTF-8 sequence at the start of the bytes, or 0.
qsizetype validSequence(const char* bytes, qsizetype left)
{
    const auto b = static_cast<unsigned char>(bytes[0]);
    qsizetype length = b < 0x80                 ? 1
                       : b >= 0xC2 && b <= 0xDF ? 2
                       : b >= 0xE0 && b <= 0xEF ? 3
                       : b >= 0xF0 && b <= 0xF4 ? 4
                                                : 0;
    if (length == 0 || length > left)
        return 0;
    for (qsizetype i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80)
            return 0;
    // The forms UTF-8 rules out: overlong, surrogates, beyond U+10FFFF.
    const auto second = static_cast<unsigned char>(bytes[1]);
    if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second > 0x9F) || (b == 0xF0 && second < 0x90) ||
        (b == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

} // namespace

QString decodePath(const QByteArray& name)
{
    QString path;
    path.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype length = validSequence(name.constData() + i, name.size() - i);
        if (length == 0) {
            path += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(name[i])));
            ++i;
            continue;
        }
        path += QString::fromUtf8(name.constData() + i, length);
        i += length;
    }
    return path;
}

QByteArray encodePath(const QString& path)
{
    QByteArray name;
    name.reserve(path.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !isEscapedByte(path[i]))
            continue;
        name += QStringView(path).mid(start, i - start).toUtf8();
        if (i < path.size())
            name += char(path[i].unicode() - kEscapeBase);
        start = i + 1;
    }
    return name;
}

bool holdsRawBytes(const QString& path)
{
    return std::any_of(path.begin(), path.end(), isEscapedByte);
}

std::optional<unsigned char> rawByte(QChar c)
{
    if (!isEscapedByte(c))
        return std::nullopt;
    return static_cast<unsigned char>(c.unicode() - kEscapeBase);
}

int openForReading(const QString& path)
{
    return ::open(encodePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
}

} // namespace qbx
