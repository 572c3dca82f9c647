// decode: what the frames in a file do, read as a stream.
#include "cli/commands.h"
#include "cli/commandtable.h"
#include "cli/console.h"
#include "cli/framereport.h"
#include "cli/textfiles.h"
#include "settings/choices.h"

#include <QFile>
#include <QJsonDocument>

#include <memory>

namespace qbx::cli {
namespace {

const QString kDecode = QStringLiteral("decode");

// Feeds the file to the stream in pieces, up to kDecodeLimit bytes. Returns an error, naming
// the file, or an empty text.
QString streamFile(QFile& file, const QString& path, FrameStream& stream, bool* complete)
{
    constexpr qint64 kPiece = qint64{1} << 16;
    const auto buffer = std::make_unique<char[]>(kPiece);
    qint64 total = 0;
    *complete = true;
    for (;;) {
        const qint64 n = file.read(buffer.get(), std::min(kPiece, kDecodeLimit - total + 1));
        if (n < 0)
            return QStringLiteral("reading %1 failed: %2").arg(printable(path), file.errorString());
        if (n == 0)
            break;
        if (total + n > kDecodeLimit) {
            *complete = false;
            stream.feed(std::string_view(buffer.get(), static_cast<std::size_t>(kDecodeLimit - total)));
            break;
        }
        stream.feed(std::string_view(buffer.get(), static_cast<std::size_t>(n)));
        total += n;
    }
    stream.finish();
    return {};
}

QString limitMessage(const QString& path)
{
    return QStringLiteral("stopped after the first %1 bytes of %2; a settings file is far smaller")
        .arg(kDecodeLimit)
        .arg(printable(path));
}

// The members of a JSON object without its braces, to stand beside a streamed array.
std::string members(const QJsonObject& object)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return text.mid(1, text.size() - 2).toStdString();
}

int decodeToProfile(QFile& file, const QString& path, Console& console)
{
    ProfileSink sink;
    FrameStream stream(sink);
    bool complete = false;
    if (const QString error = streamFile(file, path, stream, &complete); !error.isEmpty())
        return console.fail(kDecode, error);
    if (!complete)
        return console.fail(kDecode, limitMessage(path));
    const auto profile = sink.profile();
    if (const auto* error = std::get_if<ChoiceError>(&profile))
        return console.fail(kDecode,
                            QStringLiteral("%1 is not what 'store' sends, so no profile gives it: %2")
                                .arg(printable(path), QString::fromStdString(error->message)));
    const QString text = QString::fromStdString(std::get<std::string>(profile));
    if (console.json())
        console.document(QJsonObject{{"file", path}, {"profile", text}});
    else
        console.out() << text.toStdString();
    return Done;
}

int decodeToJson(QFile& file, const QString& path, Console& console)
{
    std::ostream& out = console.out();
    out << "{" << members(QJsonObject{{"file", path}}) << ",\"items\":[";
    DecodingJsonWriter writer(out);
    FrameStream stream(writer);
    bool complete = false;
    const QString error = streamFile(file, path, stream, &complete);
    out << "\n],"
        << members(QJsonObject{{"frames", double(stream.frameCount())},
                               {"settings", double(stream.settingCount())},
                               {"otherBytes", double(stream.otherByteCount())},
                               {"bytes", double(stream.byteCount())},
                               {"complete", complete && error.isEmpty()}})
        << "}\n";
    if (!error.isEmpty())
        return console.fail(kDecode, error);
    return complete ? Done : console.fail(kDecode, limitMessage(path));
}

int decodeToText(QFile& file, const QString& path, Console& console)
{
    DecodingPrinter printer(console.out());
    FrameStream stream(printer);
    bool complete = false;
    const QString error = streamFile(file, path, stream, &complete);
    console.out() << summaryLine(stream) << '\n';
    if (!error.isEmpty())
        return console.fail(kDecode, error);
    return complete ? Done : console.fail(kDecode, limitMessage(path));
}

} // namespace

int runDecode(const Invocation& invocation, Console& console)
{
    const QString path = invocation.arguments.first();
    QFile file;
    if (QString why; !openByPath(file, path, QIODevice::ReadOnly | QIODevice::Unbuffered, &why))
        return console.usage(kDecode, why);
    if (invocation.isSet(options::profile))
        return decodeToProfile(file, path, console);
    return console.json() ? decodeToJson(file, path, console) : decodeToText(file, path, console);
}

} // namespace qbx::cli
