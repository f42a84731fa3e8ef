#include "stZamMonitor.h"
#include "PluginResultMemory.h"
#include "common/Macros.h"
#include "common/DataStreamLimits.h"

#include <QProcessEnvironment>
#include <cstring>
#include <stdexcept>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(offsetof(stZamMonitor, selfRecord) == 0x598, "the daemon's part follows the library's");
#pragma GCC diagnostic pop

namespace {
// The smallest stream form of a setting: two empty guarded byte arrays, kind, three optionals,
// an empty text and the choice count.
constexpr qint64 kMinSettingBytes = 2 * 4 + 4 + 3 * 6 + 4 + 4;
// Longest validation text accepted from a peer; far beyond any real rule.
constexpr quint32 kMaxValidationText = 16u * 1024 * 1024;

// The result buffer the library's result-memory callback appends to.
QByteArray* resultBufferOf(stZamMonitor* monitor)
{
    return monitor->selfRecord ? &monitor->selfRecord->resultSections : nullptr;
}

void copyCut(char* field, size_t fieldSize, const QByteArray& bytes)
{
    std::memset(field, 0, fieldSize);
    const size_t len = qstrnlen(bytes.constData(), static_cast<uint>(bytes.size()));
    std::memcpy(field, bytes.constData(), qMin(len, fieldSize - 1));
}

void pointValidationText(stZamMonitor& r, int i)
{
    r.validation[i].text = r.validationTexts[i].isNull() ? nullptr : r.validationTexts[i].constData();
}

const SMacroContext& pollMacroContext()
{
    // The path variables and the environment do not change while the daemon runs.
    static const SMacroContext context = [] {
        SMacroContext c;
        c.variables.insert(QStringLiteral("$"), QStringLiteral("$"));
        pathVariables(c);
        c.environment = QProcessEnvironment::systemEnvironment();
        return c;
    }();
    return context;
}
}

stZamMonitor::stZamMonitor()
    : stZamMonitorLib()
    , selfRecord(this)
{
    // Installed by the first record, so processes without daemon records keep theirs.
    static const bool installed = (setPluginResultBufferAccessor(&resultBufferOf), true);
    (void)installed;
    monitorId = -1;
}

stZamMonitor::~stZamMonitor() = default;

stZamMonitorPtr stZamMonitor::copyForPoll(const stZamMonitorPtr& source)
{
    if (!source) {
        stZamMonitorPtr w(new stZamMonitor);
        std::memset(static_cast<stZamMonitorLib*>(w.data()), 0, sizeof(stZamMonitorLib));
        w->selfRecord = w.data();
        w->monitorId = 0;
        return w;
    }
    // Through the stream form, as the configuration manager's copies: the library part gets
    // only what the service sent, never the source's outcome or plug-in pointers.
    stZamMonitorPtr w = copyFromStoredForm(storedFormOf(*source), source->monitorName);
    if (w)
        w->sourceRecord = source;
    return w;
}

bool stZamMonitor::isCopyOf(const stZamMonitorPtr& copy, const stZamMonitorPtr& stored)
{
    return copy && copy->sourceRecord == stored;
}

QByteArray stZamMonitor::storedFormOf(const stZamMonitor& record)
{
    QByteArray form;
    QDataStream out(&form, QIODevice::WriteOnly);
    out.setVersion(7);
    writeMonitorRecord(out, record);
    form.squeeze();
    return form;
}

stZamMonitorPtr stZamMonitor::copyFromStoredForm(const QByteArray& form, const QString& monitorName)
{
    stZamMonitorPtr w(new stZamMonitor);
    QDataStream in(form);
    in.setVersion(7);
    if (!readMonitorRecord(in, *w).isEmpty())
        return stZamMonitorPtr();
    w->storedForm = form;
    w->monitorName = monitorName;
    w->keepSentValueTexts();
    if (w->optMonitorId.state() & 1)
        optionalWarnAbsent();
    w->monitorId = w->optMonitorId.rawValue();
    return w;
}

bool stZamMonitor::isCopyOfForm(const stZamMonitorPtr& copy, const QByteArray& form)
{
    return copy && !form.isNull() && copy->storedForm.isSharedWith(form);
}

void stZamMonitor::keepSentValueTexts()
{
    sentValueTexts.clear();
    sentValueTexts.reserve(settingRecords.size());
    for (const SMonitorSetting& s : qAsConst(settingRecords))
        sentValueTexts.append(s.valueText);
}

void stZamMonitor::buildSettingEntries()
{
    const int n = settingRecords.size();
    std::vector<stZamSettingEntry> entries(static_cast<size_t>(qMax(n, 1)), stZamSettingEntry{});
    for (int i = 0; i < n; ++i)
        settingRecords[i].fillEntry(entries[static_cast<size_t>(i)]);   // non-const access: own list
    settingEntries.swap(entries);
    settings.count = static_cast<uint32_t>(n);
    settings.pad = 0;
    settings.entries = settingEntries.data();
}

void stZamMonitor::prepareForPoll()
{
    const SMacroContext& context = pollMacroContext();
    // A working copy expands the texts as sent each time, never its own already expanded ones,
    // so every poll sees the same values.
    const bool haveSent = sentValueTexts.size() == settingRecords.size();
    for (int i = 0; i < settingRecords.size(); ++i) {
        QString text = haveSent ? sentValueTexts.at(i) : settingRecords.at(i).valueText;
        if (text == settingRecords.at(i).valueText && !text.contains(QLatin1Char('$'))
            && !text.contains(QLatin1Char('%')) && !text.contains(QChar(0x00A0)))
            continue;   // nothing to expand
        SMonitorSetting& s = settingRecords[i];
        if (text.contains(QLatin1Char('$')) || text.contains(QLatin1Char('%')))
            text = expandMacros(context, text);
        text.replace(QChar(0x00A0), QLatin1Char('\n'));
        if (text != s.valueText)
            s.valueText = text;
    }
    buildSettingEntries();
}

void stZamMonitor::clearResults()
{
    if (selfRecord)
        selfRecord->resultSections.clear();
}

QByteArray stZamMonitor::outcomeBlock() const
{
    return QByteArray(reinterpret_cast<const char*>(this) + kOutcomeOffset, kOutcomeSize);
}

void stZamMonitor::clearOutcomeBlock()
{
    std::memset(reinterpret_cast<char*>(static_cast<stZamMonitorLib*>(this)) + kOutcomeOffset, 0, kOutcomeSize);
}

QByteArray stZamMonitor::failReasonText() const
{
    return QByteArray(failReason, static_cast<int>(qstrnlen(failReason, sizeof(failReason))));
}

namespace {
bool readValidationText(QDataStream& in, QByteArray& target, QString& failReason, int rule)
{
    quint32 length = 0;
    in >> length;
    if (in.status() != QDataStream::Ok)
        return false;
    target = QByteArray();
    if (length == 0)
        return true;
    if (length > kMaxValidationText || !streamCountFits(in, length, 1)) {
        failReason = QStringLiteral("validation text %1: length %2 beyond the bytes present").arg(rule).arg(length);
        markStreamCorrupt(in);
        return false;
    }
    QByteArray bytes(static_cast<int>(length), '\0');
    if (in.readRawData(bytes.data(), static_cast<int>(length)) != static_cast<int>(length)) {
        in.setStatus(QDataStream::ReadPastEnd);
        return false;
    }
    if (bytes.at(bytes.size() - 1) != '\0') {
        failReason = QStringLiteral("validation text %1 without its terminating zero").arg(rule);
        markStreamCorrupt(in);
        return false;
    }
    bytes.chop(1);   // QByteArray keeps its own terminating zero
    target = bytes;
    return true;
}
}

QString readMonitorRecord(QDataStream& in, stZamMonitor& r)
{
    QString failReason;
    auto refuse = [&](const QString& fallback) {
        markStreamCorrupt(in);
        return failReason.isEmpty() ? fallback : failReason;
    };
    const QString truncated = QStringLiteral("monitor record: truncated stream");

    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok)
        return refuse(truncated);
    if (!streamCountFits(in, count, kMinSettingBytes))
        return refuse(QStringLiteral("monitor record: %1 settings beyond the bytes present").arg(count));
    QList<SMonitorSetting> settingsRead;
    settingsRead.reserve(static_cast<int>(count));
    for (quint32 i = 0; i < count; ++i) {
        SMonitorSetting s;
        bool badKind = false;
        if (!readMonitorSetting(in, s, &failReason, &badKind)) {
            if (badKind)
                return refuse(QStringLiteral("bad setting kind"));
            return refuse(truncated);
        }
        settingsRead.append(s);
    }
    r.settingRecords = settingsRead;

    QByteArray hostName, hostAddress;
    in >> r.optMonitorId >> r.pluginId >> r.mode >> r.typeIndex >> r.useHostName;
    if (in.status() == QDataStream::Ok && !OptionalDetail::lengthPrefixFits(in))
        in.setStatus(QDataStream::ReadPastEnd);
    in >> hostName;
    if (in.status() == QDataStream::Ok && !OptionalDetail::lengthPrefixFits(in))
        in.setStatus(QDataStream::ReadPastEnd);
    in >> hostAddress >> r.timeout;
    if (in.status() != QDataStream::Ok)
        return refuse(truncated);
    copyCut(r.hostName, sizeof(r.hostName), hostName);
    copyCut(r.hostAddress, sizeof(r.hostAddress), hostAddress);

    for (int rule = 0; rule < 2; ++rule) {
        in >> r.validation[rule].flags;
        r.validation[rule].pad = 0;
        if (in.status() != QDataStream::Ok || !readValidationText(in, r.validationTexts[rule], failReason, rule))
            return refuse(truncated);
        pointValidationText(r, rule);
    }
    in >> r.logEnabled;
    if (in.status() != QDataStream::Ok)
        return refuse(truncated);
    r.buildSettingEntries();
    return QString();
}

void writeMonitorRecord(QDataStream& out, const stZamMonitor& r)
{
    out << static_cast<quint32>(r.settingRecords.size());
    for (const SMonitorSetting& s : r.settingRecords)
        out << s;
    out << r.optMonitorId << r.pluginId << r.mode << r.typeIndex << r.useHostName
        << QByteArray(r.hostName, static_cast<int>(qstrnlen(r.hostName, sizeof(r.hostName))))
        << QByteArray(r.hostAddress, static_cast<int>(qstrnlen(r.hostAddress, sizeof(r.hostAddress))))
        << r.timeout;
    for (int rule = 0; rule < 2; ++rule) {
        out << r.validation[rule].flags;
        const char* text = r.validation[rule].text;
        if (!text) {
            out << quint32(0);
        } else {
            const quint32 length = static_cast<quint32>(std::strlen(text)) + 1;
            out << length;
            out.writeRawData(text, static_cast<int>(length));
        }
    }
    out << r.logEnabled;
}

QDataStream& operator>>(QDataStream& in, stZamMonitor& record)
{
    const QString reason = readMonitorRecord(in, record);
    if (reason == QLatin1String("bad setting kind"))
        throw std::runtime_error("bad setting kind");
    return in;
}

QDataStream& operator<<(QDataStream& out, const stZamMonitor& record)
{
    writeMonitorRecord(out, record);
    return out;
}
