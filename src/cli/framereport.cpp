#include "cli/framereport.h"

#include "cli/console.h"
#include "settings/catalogue.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <string>
#include <vector>

namespace qbx::cli {
namespace {

std::string plural(std::size_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string frameMeaning(const DecodedFrame& f)
{
    switch (f.kind) {
    case FrameKind::Clear:
        return "clear switch " + std::string(1, f.switchNo) + ", " + bitsText(f.mask) + " (" + f.mask + ")";
    case FrameKind::Set:
        return "set switch " + std::string(1, f.switchNo) + ", " + bitsText(f.mask) + " (" + f.mask + ")";
    case FrameKind::Store:
        return "store: the printer keeps its switch values";
    case FrameKind::SelfTest:
        return "self-test: the printer prints its self-test page";
    }
    return {};
}

bool completes(std::size_t index, const RecognisedSetting* s)
{
    return s && index + 1 == s->firstFrame + s->frameCount;
}

QJsonObject settingObject(const RecognisedSetting& s)
{
    return QJsonObject{{"key", QString::fromUtf8(catalogue()[s.step].key)},
                       {"name", QString::fromStdString(s.name)},
                       {"choice", QString::fromStdString(s.choice)}};
}

QJsonObject frameObject(const DecodedFrame& f, const RecognisedSetting* s, std::size_t index)
{
    QJsonObject object{{"offset", double(f.offset)},
                       {"bytes", QString::fromStdString(hexBytesText(f.bytes))},
                       {"command", QString::fromStdString(frameCommandText(f))}};
    if (f.kind == FrameKind::Clear || f.kind == FrameKind::Set)
        object.insert("bits", QString::fromStdString(bitsText(f.mask)));
    if (s)
        object.insert(completes(index, s) ? "setting" : "partOf",
                      completes(index, s) ? QJsonValue(settingObject(*s))
                                          : QJsonValue(QString::fromUtf8(catalogue()[s->step].key)));
    return object;
}

std::string compactJson(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

void DecodingPrinter::frame(const DecodedFrame& f, std::size_t index, const RecognisedSetting* s)
{
    m_out << "frame " << index + 1 << " at byte " << f.offset << ": " << frameMeaning(f) << '\n';
    if (completes(index, s))
        m_out << "    " << s->name << " = " << s->choice << '\n';
}

void DecodingPrinter::otherBytes(const OtherBytes& run)
{
    m_out << plural(run.count, "other byte", "other bytes") << " at byte " << run.offset << '\n';
}

void DecodingJsonWriter::item(const std::string& json)
{
    m_out << (m_first ? "\n    " : ",\n    ") << json;
    m_first = false;
}

void DecodingJsonWriter::frame(const DecodedFrame& f, std::size_t index, const RecognisedSetting* s)
{
    constexpr std::size_t kMaxShapes = 4096;
    std::string key = f.bytes;
    if (s)
        key += std::string(1, '\0') + std::to_string(s->step) + s->choice + (completes(index, s) ? "." : "");
    auto shape = m_shapes.find(key);
    if (shape == m_shapes.end()) {
        if (m_shapes.size() >= kMaxShapes)
            m_shapes.clear();
        const std::string json = compactJson(frameObject(f, s, index));
        const std::string offset = "\"offset\":" + std::to_string(f.offset);
        const std::size_t at = json.find(offset);
        shape =
            m_shapes.emplace(key, std::pair(json.substr(0, at + 9), json.substr(at + offset.size()))).first;
    }
    item(shape->second.first + std::to_string(f.offset) + shape->second.second);
}

void DecodingJsonWriter::otherBytes(const OtherBytes& run)
{
    item(compactJson(QJsonObject{{"offset", double(run.offset)}, {"otherBytes", double(run.count)}}));
}

std::string summaryLine(const FrameStream& stream)
{
    return plural(stream.frameCount(), "frame", "frames") + ", " +
           plural(stream.settingCount(), "setting", "settings") + ", " +
           plural(stream.otherByteCount(), "other byte", "other bytes");
}

void printDryRun(const FrameDecoding& decoding, Console& console, const QJsonObject& more)
{
    std::vector<const RecognisedSetting*> owner(decoding.frames.size(), nullptr);
    for (const RecognisedSetting& s : decoding.settings)
        for (std::size_t i = s.firstFrame; i < s.firstFrame + s.frameCount; ++i)
            owner[i] = &s;
    QJsonArray frames;
    for (std::size_t i = 0; i < decoding.frames.size(); ++i) {
        const DecodedFrame& f = decoding.frames[i];
        const RecognisedSetting* s = owner[i];
        frames.append(frameObject(f, s, i));
        std::string line = hexBytesText(f.bytes) + "  " + frameCommandText(f);
        if (s)
            line += "  " + s->name + (completes(i, s) ? " = " + s->choice : std::string());
        if (!console.json())
            console.out() << line << '\n';
    }
    if (!console.json())
        return;
    QJsonObject document{{"command", "store"}, {"dryRun", true}, {"frames", frames}};
    for (auto it = more.begin(); it != more.end(); ++it)
        document.insert(it.key(), it.value());
    console.document(document);
}

} // namespace qbx::cli
