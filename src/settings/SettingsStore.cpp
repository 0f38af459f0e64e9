#include "settings/SettingsStore.h"

#include "platform/TextCodec.h"
#include "platform/XdgPaths.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <optional>

namespace zek::settings {
namespace {

using Kind = SettingsField::Kind;

const QString kOrganisation = QStringLiteral("Talmo");
const QString kApplication = QStringLiteral("ZEK");
const QString kOldOption = QStringLiteral("option");

// The text after "name=" on the value's line in the store's general
// section, as the user wrote it (surrounding blanks trimmed).
std::optional<QByteArray> rawValue(const QByteArray& fileText, const QString& name) {
    const QByteArray key = name.toUtf8();
    bool general = true;  // keys before any section are general ones too
    std::optional<QByteArray> found;
    for (const QByteArray& rawLine : fileText.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            general = line == "[General]";
            continue;
        }
        const int equals = line.indexOf('=');
        if (general && equals > 0 && line.left(equals).trimmed() == key)
            found = line.mid(equals + 1).trimmed();
    }
    return found;
}

bool isHexDigit(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The letter of a character's named escape ("\\t"), or 0.
char16_t namedEscape(char16_t c) {
    switch (c) {
    case '\a': return 'a';
    case '\b': return 'b';
    case '\f': return 'f';
    case '\n': return 'n';
    case '\r': return 'r';
    case '\t': return 't';
    case '\v': return 'v';
    case '"': return '"';
    case '\\': return '\\';
    default: return 0;
    }
}

// What QSettings' INI writer puts after "name=" for a text: a leading "@"
// doubled (a NUL makes it "@String(...)"), quotes, backslashes and control
// characters escaped, and the whole in quotes when it holds , ; = or starts
// or ends with a blank.
QByteArray iniWritten(const QString& text) {
    QString s = text;
    if (s.contains(QChar(0)))
        s = QStringLiteral("@String(") + s + ')';
    else if (s.startsWith('@'))
        s.prepend('@');
    QString out;
    bool quoted = false;
    bool hexAfter = false;  // a hex digit after a \x or \0 escape is escaped too
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if (u == ';' || u == ',' || u == '=')
            quoted = true;
        if (hexAfter && isHexDigit(u)) {
            out += QStringLiteral("\\x") + QString::number(u, 16);
            continue;
        }
        hexAfter = false;
        if (const char16_t letter = namedEscape(u)) {
            out += '\\';
            out += QChar(letter);
        } else if (u <= 0x1F) {
            out += u == 0 ? QStringLiteral("\\0") : QStringLiteral("\\x") + QString::number(u, 16);
            hexAfter = true;
        } else {
            out += c;
        }
    }
    if (quoted || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out.toUtf8();
}

// A stored text, exactly as written. The INI reader's value is taken when the
// line is just what QSettings writes for it, so every text ZEK saved comes
// back as saved. A hand-edited line it would not have written (quotes or
// backslashes of the user's own, commas the reader splits into a list, a ";"
// it takes for a comment) is taken as it stands. So is a line the reader
// joined to the one before, which ended in a backslash.
std::optional<QString> storedText(const QSettings& store, const QByteArray& fileText, const QString& name) {
    const std::optional<QByteArray> raw = rawValue(fileText, name);
    if (!store.contains(name))
        return raw ? std::optional<QString>(QString::fromUtf8(*raw)) : std::nullopt;
    const QVariant v = store.value(name);
    QString read;
    if (v.typeId() == QMetaType::QStringList)
        read = v.toStringList().join(',');
    else if (v.canConvert<QString>())
        read = v.toString();
    if (raw && *raw != iniWritten(read))
        return QString::fromUtf8(*raw);
    return read;
}

// A store ZEK can read without loss is UTF-8 text. Control bytes (binary
// garbage) or another encoding would be read as junk and written back over
// the user's file.
bool isReadableText(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && b != '\t' && b != '\n' && b != '\r')
            return false;
    }
    return platform::isValidUtf8(bytes.constData(), bytes.size());
}

// Renames the store aside as "<file>.broken-<time>" (with a number added
// when that name is taken), so a new one can be written without losing it.
void keepAside(const QString& file) {
    const QString base =
        file + ".broken-" + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target) && n < 1000; ++n)
        target = base + '-' + QString::number(n);
    QFile::rename(file, target);
}

// A stored integer: nullopt when absent, the default when it is not a
// 32-bit number (text where a number belongs). A line the reader joined to
// the one before (which ended in a backslash) is read as it stands.
std::optional<int> storedInteger(const QSettings& store, const QByteArray& fileText, const QString& name,
                                 int fallback) {
    QVariant v;
    if (store.contains(name))
        v = store.value(name);
    else if (const std::optional<QByteArray> raw = rawValue(fileText, name))
        v = QString::fromUtf8(*raw);
    else
        return std::nullopt;
    bool ok = false;
    int n = 0;
    if (v.typeId() == QMetaType::Int) {
        n = v.toInt();
        ok = true;
    } else if (v.typeId() == QMetaType::QString) {
        n = v.toString().trimmed().toInt(&ok);
    }
    return ok ? n : fallback;
}

bool isFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The text stored in another program's key, or nullopt.
std::optional<QString> outsideText(const QString& organisation, const QString& application,
                                   const QString& key) {
    const QString file = platform::userSettingsFile(organisation, application);
    if (!QFileInfo::exists(file))
        return std::nullopt;
    QSettings store(file, QSettings::IniFormat);
    if (store.status() != QSettings::NoError || !store.contains(key))
        return std::nullopt;
    const QVariant v = store.value(key);
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

}  // namespace

SettingsStore::SettingsStore(QString programFolder) : programFolder_(std::move(programFolder)) {}

QString SettingsStore::filePath() const {
    return platform::userSettingsFile(kOrganisation, kApplication);
}

void SettingsStore::applyOutsideLookups(Settings& s) const {
    if (auto smc = outsideText(QStringLiteral("BEXLY"), QStringLiteral("SPICE"), QStringLiteral("Exec/SMC"))) {
        s.execsmc = *smc;
        const int slash = smc->lastIndexOf('/');
        s.smcinclude = (slash >= 0 ? smc->left(slash) : QString()) + QStringLiteral("/SMI");
    }
    // The parameter goes with its program: "/1" only with the maker's player,
    // none with the desktop's handler.
    if (auto player = outsideText(QStringLiteral("TALMO"), QStringLiteral("MIDI-PLAYER"), QStringLiteral("EXEC"));
        player && !player->isEmpty()) {
        s.execplayer = *player;
        s.parmplayer = QStringLiteral("/1");
    }
    // The desktop's default MIDI handler is reached through xdg-open.
    if (s.execplayer.isEmpty() && platform::hasDefaultApplication(QStringLiteral("audio/midi"))) {
        const QString opener = platform::findProgram(QStringLiteral("xdg-open"));
        if (!opener.isEmpty()) {
            s.execplayer = opener;
            s.parmplayer.clear();
        }
    }
    // Without any outside player the song still plays out of the box: the
    // built-in player is the default then. A stored `play` wins as ever.
    if (s.execplayer.isEmpty())
        s.play = 1;
}

void SettingsStore::applyBundledCompiler(Settings& s) const {
    if (programFolder_.isEmpty())
        return;
    const QString program = programFolder_ + "/" + kBundledCompiler;
    const QString library = programFolder_ + "/" + kBundledCompilerLibrary;
    for (int kind = 0; kind < kCompilerKinds; ++kind) {
        const QString& bundled = kind == 3 ? library : program;
        QString& path = s.compilerPath(kind);
        if (path.isEmpty() && isFile(bundled))
            path = bundled;
    }
}

bool SettingsStore::load(Settings& s) const {
    const qint64 stamp = s.sourceStamp;
    const int count = s.wallpaperCount;
    s = Settings{};
    s.sourceStamp = stamp;
    s.wallpaperCount = count;

    applyOutsideLookups(s);
    applyBundledCompiler(s);

    const QString file = filePath();
    if (!QFileInfo::exists(file))
        return false;
    QFile raw(file);
    const QByteArray fileText = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
    QSettings store(file, QSettings::IniFormat);
    if (store.status() == QSettings::FormatError || !isReadableText(fileText)) {
        // A damaged store is kept for the user under another name; ZEK
        // starts afresh from the defaults and the next save writes a new one.
        keepAside(file);
        return false;
    }
    if (store.status() != QSettings::NoError)
        return false;

    const Settings defaults;
    const bool found = storedInteger(store, fileText, QStringLiteral("left"), 0).has_value();
    if (auto old = storedText(store, fileText, kOldOption))
        s.option0 = *old;
    for (const SettingsField& f : settingsFields()) {
        const QString name = QString::fromLatin1(f.name);
        if (name == QLatin1String("menureturn"))
            continue;  // written on every save, never read back
        if (f.kind == Kind::Text) {
            if (auto v = storedText(store, fileText, name))
                s.*f.text = *v;
            continue;
        }
        auto v = storedInteger(store, fileText, name, defaults.*f.integer);
        if (!v)
            continue;
        int value = *v;
        if (f.kind == Kind::Flag)
            value = value != 0 ? 1 : 0;
        s.*f.integer = value;
    }
    if (s.compiler < 0 || s.compiler >= kCompilerKinds)
        s.compiler = 0;
    for (int Settings::*key : {&Settings::menutag, &Settings::menusmc, &Settings::menurunplayer})
        if (s.*key < 1 || s.*key > 13)
            s.*key = defaults.*key;
    return found;
}

void SettingsStore::save(const Settings& s) const {
    QSettings store(filePath(), QSettings::IniFormat);
    if (store.status() != QSettings::NoError)
        return;
    store.remove(kOldOption);
    for (const SettingsField& f : settingsFields()) {
        const QString name = QString::fromLatin1(f.name);
        if (f.kind == Kind::Text)
            store.setValue(name, s.*f.text);
        else
            store.setValue(name, s.*f.integer);
    }
    store.sync();
}

}  // namespace zek::settings
