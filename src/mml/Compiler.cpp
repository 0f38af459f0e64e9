#include "mml/Compiler.h"

#include <algorithm>
#include <array>
#include <map>
#include <queue>
#include <set>

#include "mml/SmfReader.h"
#include "mml/TextScan.h"

namespace zek::mml {

namespace {

// Bounds that keep any input, however hostile, within time and memory.
constexpr uint64_t kMaxTick = 0x0FFFFFFF;          // the largest delta time a MIDI file can hold
constexpr uint64_t kRepeatCost = 16;               // what one jump back costs besides its bytes
constexpr size_t kMaxLoopDepth = 64;
constexpr int kMaxIncludeDepth = 16;
constexpr size_t kMaxInputBytes = 64u << 20;
constexpr int kMaxTracks = 64;
constexpr int kMaxDots = 8;
constexpr int64_t kMaxLoopCount = 65535;
constexpr int kDefaultVelocityStep = 8;
constexpr uint32_t kWholeNote = 4 * kTicksPerQuarter;

// Ticks of the lengths 1..192, rounded to the nearest tick.
constexpr std::array<uint32_t, 193> kLengthTicks = [] {
    std::array<uint32_t, 193> table{};
    for (uint32_t n = 1; n <= 192; ++n) table[n] = (2 * kWholeNote + n) / (2 * n);
    return table;
}();

struct File {
    std::string displayName;
    std::string folder;
    std::string identity;
    std::string storage;          // owned text of an included file
    std::string_view text;
    Encoding encoding = Encoding::Utf8;
    // Positions are turned into lines lazily and only for diagnostics; the
    // cache makes a run of errors in order cost one pass.
    mutable size_t cacheOffset = 0;
    mutable uint32_t cacheLine = 1;
    mutable size_t cacheLineStart = 0;

    void position(size_t offset, uint32_t& line, uint32_t& column) const {
        offset = std::min(offset, text.size());
        if (offset < cacheOffset) {
            cacheOffset = 0;
            cacheLine = 1;
            cacheLineStart = 0;
        }
        for (size_t i = cacheOffset; i < offset; ++i) {
            if (text[i] == '\n') {
                ++cacheLine;
                cacheLineStart = i + 1;
            }
        }
        cacheOffset = offset;
        line = cacheLine;
        column = uint32_t(std::min<size_t>(offset - cacheLineStart + 1, 0xFFFFFFFFu));
    }
};

struct SoundingNote {
    bool active = false;
    bool tied = false;       // an '&' follows; the next note continues or slurs it
    bool legato = false;     // slurred into a different note: sounds its full length
    uint8_t key = 0;
    uint8_t velocity = 0;
    uint8_t channel = 0;     // 0..15, as the note began: 'channel' may change meanwhile
    int gate = 100;
    uint32_t on = 0;
    uint64_t length = 0;
};

struct Track {
    int number = 1;
    int channel = 1;
    int octave = 4;
    uint64_t defaultLength = kTicksPerQuarter;
    int velocity = 100;
    int gate = 90;
    int transpose = 0;
    uint64_t cursor = 0;
    bool used = false;
    bool lastWasNote = false;   // '^' may extend the note or rest just played
    bool lastWasRest = false;
    uint32_t notes = 0;
    SoundingNote sounding;
    TrackEncoder out;
};

struct TempoChange {
    uint64_t tick;
    uint32_t usPerQuarter;
};

struct Loop {
    size_t open = 0;         // offset of '['
    size_t bodyStart = 0;
    int64_t count = 0;       // 0 until known
    int64_t pass = 0;
    size_t breakAt = std::string_view::npos;
};

// State of one pass over one file's text.
struct Run {
    File* file = nullptr;
    const unsigned char* s = nullptr;
    size_t n = 0;
    size_t pos = 0;
    bool lineStart = true;
    size_t wordRunStart = 0;     // the run of letters around pos (cached: a long
    size_t wordRunEnd = 0;       // run of notes is measured once, not per letter)
    std::vector<Loop> loops;
    int ignoredOpens = 0;        // '[' refused for depth; their ']' are skipped quietly
};

bool isLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isBlank(unsigned char c) { return c == ' ' || c == '\t'; }
char lower(unsigned char c) { return char(c | 0x20); }

// A full-width form of an ASCII character (U+FF01 to U+FF5E): its ASCII
// twin, else 0.
char halfWidthTwin(uint32_t codePoint) {
    return codePoint >= 0xFF01 && codePoint <= 0xFF5E ? char(codePoint - 0xFEE0) : 0;
}

// The character at pos for a message: 'c', a non-ASCII character with its
// code point ('あ' (U+3042), full-width 'ｃ' (U+FF43)), or a stray byte.
std::string describeChar(const Run& r, size_t pos) {
    if (pos >= r.n) return "the end of the file";
    const unsigned char c = r.s[pos];
    if (c >= 0x21 && c < 0x7F) return std::string("'") + char(c) + "'";
    static const char* hex = "0123456789ABCDEF";
    if (const auto ch = decodeCharacter(r.file->text, pos, r.file->encoding)) {
        std::string code;
        for (uint32_t v = ch->codePoint; v != 0 || code.size() < 4; v >>= 4) code.insert(code.begin(), hex[v & 15]);
        return std::string(halfWidthTwin(ch->codePoint) ? "full-width '" : "'") + ch->utf8 + "' (U+" + code + ")";
    }
    return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
}

enum class Word {
    None, Track, Channel, Name, Volume, Pan, Expression, Sustain, Modulation, Reverb, Chorus, Bend, Transpose
};

Word lookupWord(const unsigned char* s, size_t len) {
    struct Entry {
        const char* text;
        Word word;
    };
    static constexpr Entry table[] = {
        {"track", Word::Track},       {"channel", Word::Channel},   {"name", Word::Name},
        {"volume", Word::Volume},     {"pan", Word::Pan},           {"expression", Word::Expression},
        {"sustain", Word::Sustain},   {"modulation", Word::Modulation}, {"reverb", Word::Reverb},
        {"chorus", Word::Chorus},     {"bend", Word::Bend},         {"transpose", Word::Transpose},
    };
    if (len < 3 || len > 10) return Word::None;
    for (const Entry& e : table) {
        size_t i = 0;
        while (e.text[i] && i < len && lower(s[i]) == e.text[i]) ++i;
        if (i == len && !e.text[i]) return e.word;
    }
    return Word::None;
}

int controllerOf(Word w) {
    switch (w) {
    case Word::Volume: return 7;
    case Word::Pan: return 10;
    case Word::Expression: return 11;
    case Word::Sustain: return 64;
    case Word::Modulation: return 1;
    case Word::Reverb: return 91;
    case Word::Chorus: return 93;
    default: return -1;
    }
}

const char* wordName(Word w) {
    switch (w) {
    case Word::Volume: return "volume";
    case Word::Pan: return "pan";
    case Word::Expression: return "expression";
    case Word::Sustain: return "sustain";
    case Word::Modulation: return "modulation";
    case Word::Reverb: return "reverb";
    case Word::Chorus: return "chorus";
    default: return "?";
    }
}

struct Number {
    bool present = false;
    bool tooLarge = false;
    int64_t value = 0;
};

class Compiler {
public:
    Compiler(const CompileOptions& options, const IncludeLoader& loader) : options_(options), loader_(loader) {}

    CompileResult run(const SourceText& main);

private:
    // Diagnostics
    void report(Diagnostic::Severity severity, const File* file, size_t at, std::string message);
    void error(Run& r, size_t at, std::string message);
    void warning(Run& r, size_t at, std::string message);
    void fatal(const File* file, size_t at, std::string message);

    // Text
    void runFile(File& file, int depth);
    void skipBlanks(Run& r) const;
    Number readUnsigned(Run& r);
    Number readSigned(Run& r);
    bool readInRange(Run& r, size_t cmdAt, const char* what, int64_t lo, int64_t hi, int64_t& out, bool required = true);
    bool readLength(Run& r, uint64_t base, uint64_t& ticks);
    bool readDots(Run& r, size_t at, uint64_t num, uint64_t den, uint64_t& ticks);
    bool readString(Run& r, std::string& out);
    void skipStrayString(Run& r);
    void skipRestOfLine(Run& r, const char* what);
    void directive(Run& r, int depth);
    void include(Run& r, size_t at, const std::string& name, int depth);
    void letterCommand(Run& r);
    void wordCommand(Run& r, Word w, size_t at);
    void note(Run& r, size_t at, int semitone);
    void keyNote(Run& r, size_t at);
    void loopOpen(Run& r, size_t at);
    void loopClose(Run& r, size_t at);
    void loopBreak(Run& r, size_t at);
    int64_t readLoopCount(Run& r, bool quiet);
    void checkTie(Run& r, size_t at);

    // Music
    Track& track(int number);
    Track& currentTrack() { return current_ ? *current_ : track(1); }
    void play(Track& t, int key, uint64_t length, const File* file, size_t at);
    void advance(Track& t, uint64_t length, const File* file, size_t at);
    void finishSounding(Track& t);
    void countEvent(const File* file, size_t at);
    void emit2(Track& t, uint8_t kind, uint8_t d1, uint8_t d2, const File* file, size_t at);
    void emit1(Track& t, uint8_t kind, uint8_t d1, const File* file, size_t at);
    void addWork(uint64_t amount, const File* file, size_t at);

    CompileResult assemble();
    void mergeToFormat0(SmfImage& image);

    const CompileOptions& options_;
    const IncludeLoader& loader_;
    CompileResult result_;
    bool stop_ = false;
    size_t shownDiagnostics_ = 0;
    size_t hiddenWarnings_ = 0;
    std::set<std::pair<const File*, size_t>> reported_;

    std::vector<std::unique_ptr<File>> files_;
    std::map<std::string, File*> includeCache_;             // fromFolder + '\0' + name
    std::map<std::string, std::string> includeFailures_;
    std::vector<const File*> includeStack_;
    size_t inputBytes_ = 0;
    uint64_t work_ = 0;

    std::array<std::unique_ptr<Track>, kMaxTracks + 1> tracks_{};
    Track* current_ = nullptr;
    size_t events_ = 0;
    std::vector<TempoChange> tempo_;
    std::string title_, copyright_;
    bool hasTitle_ = false, hasCopyright_ = false;
    std::vector<std::string> texts_;
    // An '&' waits for its note; any other command breaks it.
    Track* tieTrack_ = nullptr;
    const File* tieFile_ = nullptr;
    size_t tieAt_ = 0;
};

void Compiler::report(Diagnostic::Severity severity, const File* file, size_t at, std::string message) {
    if (file && !reported_.insert({file, at}).second) return;  // a loop's later passes repeat it
    const bool isError = severity == Diagnostic::Severity::Error;
    if (isError) {
        ++result_.errors;
        if (result_.errors > options_.maxDiagnostics) {
            --result_.errors;  // not shown: the compile stops short of it
            fatal(nullptr, 0, "too many errors; stopping");
            result_.stoppedEarly = true;
            return;
        }
    } else {
        ++result_.warnings;
        if (shownDiagnostics_ >= options_.maxDiagnostics) {
            ++hiddenWarnings_;
            return;
        }
    }
    Diagnostic d;
    d.severity = severity;
    if (file) {
        d.file = file->displayName;
        file->position(at, d.line, d.column);
    }
    d.message = std::move(message);
    result_.diagnostics.push_back(std::move(d));
    ++shownDiagnostics_;
}

void Compiler::error(Run& r, size_t at, std::string message) {
    report(options_.errorsAsWarnings ? Diagnostic::Severity::Warning : Diagnostic::Severity::Error, r.file, at,
           std::move(message));
}

void Compiler::warning(Run& r, size_t at, std::string message) {
    report(Diagnostic::Severity::Warning, r.file, at, std::move(message));
}

void Compiler::fatal(const File* file, size_t at, std::string message) {
    if (stop_) return;
    stop_ = true;
    Diagnostic d;
    if (file) {
        d.file = file->displayName;
        file->position(at, d.line, d.column);
    }
    d.message = std::move(message);
    ++result_.errors;
    result_.diagnostics.push_back(std::move(d));
}

void Compiler::addWork(uint64_t amount, const File* file, size_t at) {
    work_ += amount;
    if (work_ > options_.maxRereadBytes)
        fatal(file, at, "the song repeats too much: loops and includes would read more than " +
                            std::to_string(options_.maxRereadBytes >> 20) + " MB of text");
}

// ---------------------------------------------------------------- text

void Compiler::skipBlanks(Run& r) const {
    while (r.pos < r.n) {
        if (isBlank(r.s[r.pos]))
            ++r.pos;
        else if (const size_t wide = wideBlankLength(r.file->text, r.pos, r.file->encoding))
            r.pos += wide;
        else
            break;
    }
}

Number Compiler::readUnsigned(Run& r) {
    Number num;
    skipBlanks(r);
    while (r.pos < r.n && isDigit(r.s[r.pos])) {
        num.present = true;
        if (num.value < 1'000'000'000'000LL)
            num.value = num.value * 10 + (r.s[r.pos] - '0');
        else
            num.tooLarge = true;
        ++r.pos;
    }
    return num;
}

Number Compiler::readSigned(Run& r) {
    skipBlanks(r);
    bool negative = false;
    const size_t start = r.pos;
    if (r.pos < r.n && (r.s[r.pos] == '-' || r.s[r.pos] == '+')) {
        negative = r.s[r.pos] == '-';
        ++r.pos;
    }
    Number num = readUnsigned(r);
    if (!num.present) r.pos = start;
    if (negative) num.value = -num.value;
    return num;
}

bool Compiler::readInRange(Run& r, size_t cmdAt, const char* what, int64_t lo, int64_t hi, int64_t& out,
                           bool required) {
    skipBlanks(r);
    const size_t at = r.pos;
    Number num = lo < 0 ? readSigned(r) : readUnsigned(r);
    if (!num.present) {
        if (required)
            error(r, cmdAt, std::string(what) + " needs a number (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
        return false;
    }
    if (num.tooLarge || num.value < lo || num.value > hi) {
        error(r, at, std::string(what) + (num.tooLarge ? " value is far too large" : " value " + std::to_string(num.value) + " is out of range") +
                         " (" + std::to_string(lo) + " to " + std::to_string(hi) + ")");
        return false;
    }
    out = num.value;
    return true;
}

// Dots add half of the previous addition each: total = base * (2 - 1/2^dots).
bool Compiler::readDots(Run& r, size_t at, uint64_t num, uint64_t den, uint64_t& ticks) {
    int dots = 0;
    while (r.pos < r.n && r.s[r.pos] == '.') {
        ++dots;
        ++r.pos;
    }
    if (dots > kMaxDots) {
        error(r, at, "more than " + std::to_string(kMaxDots) + " dots on one length");
        dots = kMaxDots;
    }
    const uint64_t mult = (uint64_t(2) << dots) - 1;
    const uint64_t div = den << dots;
    ticks = (num * mult * 2 + div) / (div * 2);  // rounded to the nearest tick
    return true;
}

// A length: 1..192 (a fraction of a whole note) or %ticks, then dots; none
// means the base (default) length, which may still take dots.
bool Compiler::readLength(Run& r, uint64_t base, uint64_t& ticks) {
    const size_t at = r.pos;
    skipBlanks(r);
    if (r.pos < r.n && r.s[r.pos] == '%') {
        ++r.pos;
        const size_t numAt = r.pos;
        Number num = readUnsigned(r);
        if (!num.present) {
            error(r, at, "'%' needs a length in ticks");
            ticks = base;
            return false;
        }
        if (num.tooLarge || num.value < 1 || uint64_t(num.value) > kMaxTick) {
            error(r, numAt, "tick length out of range (1 to " + std::to_string(kMaxTick) + ")");
            ticks = base;
            return false;
        }
        return readDots(r, at, uint64_t(num.value), 1, ticks);
    }
    Number num = readUnsigned(r);
    if (!num.present) {
        r.pos = at;  // no length here: the blanks belong to what follows
        return readDots(r, at, base, 1, ticks);
    }
    if (num.tooLarge || num.value < 1 || num.value > 192) {
        error(r, at, "length " + (num.tooLarge ? std::string("far too large") : std::to_string(num.value)) +
                         " is out of range (1 to 192, or %ticks)");
        ticks = base;
        return false;
    }
    if (r.pos >= r.n || r.s[r.pos] != '.') {
        ticks = kLengthTicks[num.value];  // the common case: no dots
        return true;
    }
    return readDots(r, at, kWholeNote, uint64_t(num.value), ticks);
}

// "text" with \" and \\ as escapes. Returns false (after an error) when the
// string is missing or not closed on its line.
bool Compiler::readString(Run& r, std::string& out) {
    skipBlanks(r);
    if (r.pos >= r.n || r.s[r.pos] != '"') {
        error(r, r.pos, "expected a text in double quotes, found " + describeChar(r, r.pos));
        return false;
    }
    const size_t open = r.pos;
    const StringScan scan = scanString(r.file->text, open, r.file->encoding);
    if (!scan.closed) {
        error(r, open, "text is not closed with '\"' on its line");
        r.pos = scan.end;
        return false;
    }
    out = unescapeString(r.file->text.substr(open + 1, scan.end - open - 2), r.file->encoding);
    r.pos = scan.end;
    return true;
}

void Compiler::skipStrayString(Run& r) {
    error(r, r.pos, "a text in quotes belongs after #title, #copyright, #text, #include or name");
    const StringScan scan = scanString(r.file->text, r.pos, r.file->encoding);
    r.pos = std::max(scan.end, r.pos + 1);
}

void Compiler::skipRestOfLine(Run& r, const char* what) {
    skipBlanks(r);
    if (r.pos >= r.n || r.s[r.pos] == '\n' || r.s[r.pos] == '\r' || r.s[r.pos] == ';' ||
        (r.s[r.pos] == '/' && r.pos + 1 < r.n && (r.s[r.pos + 1] == '/' || r.s[r.pos + 1] == '*')))
        return;
    error(r, r.pos, std::string("unexpected ") + describeChar(r, r.pos) + " after " + what);
    while (r.pos < r.n && r.s[r.pos] != '\n') ++r.pos;
}

void Compiler::directive(Run& r, int depth) {
    const size_t at = r.pos;
    ++r.pos;  // '#'
    const size_t wordStart = r.pos;
    while (r.pos < r.n && isLetter(r.s[r.pos])) ++r.pos;
    std::string word;
    for (size_t i = wordStart; i < r.pos; ++i) word += lower(r.s[i]);
    if (word != "include" && word != "title" && word != "copyright" && word != "text") {
        error(r, at, "unknown directive '#" + word + "' (known: #include, #title, #copyright, #text)");
        while (r.pos < r.n && r.s[r.pos] != '\n') ++r.pos;
        return;
    }
    std::string text;
    if (!readString(r, text)) {
        while (r.pos < r.n && r.s[r.pos] != '\n') ++r.pos;
        return;
    }
    const std::string what = "#" + word + " \"...\"";
    skipRestOfLine(r, what.c_str());
    if (word == "include") {
        include(r, at, text, depth);
    } else if (word == "title") {
        if (hasTitle_ && title_ != text) warning(r, at, "a second #title replaces the first");
        title_ = text;
        hasTitle_ = true;
    } else if (word == "copyright") {
        if (hasCopyright_ && copyright_ != text) warning(r, at, "a second #copyright replaces the first");
        copyright_ = text;
        hasCopyright_ = true;
    } else {
        texts_.push_back(text);
    }
}

void Compiler::include(Run& r, size_t at, const std::string& name, int depth) {
    if (name.empty() || name.find('\0') != std::string::npos) {
        error(r, at, "#include needs a file name without NUL bytes");
        return;
    }
    if (depth + 1 > kMaxIncludeDepth) {
        error(r, at, "#include nested more than " + std::to_string(kMaxIncludeDepth) + " deep");
        return;
    }
    const std::string key = r.file->folder + '\0' + name;
    File* child = nullptr;
    if (auto it = includeCache_.find(key); it != includeCache_.end()) {
        child = it->second;
    } else if (auto failed = includeFailures_.find(key); failed != includeFailures_.end()) {
        error(r, at, failed->second);
        return;
    } else {
        IncludeLookup found = loader_ ? loader_(name, r.file->folder) : IncludeLookup{nullptr, "includes are not available here"};
        if (!found.file) {
            std::string message = "cannot include \"" + name + "\": " + found.error;
            includeFailures_[key] = message;
            error(r, at, message);
            return;
        }
        inputBytes_ += found.file->bytes.size();
        if (inputBytes_ > kMaxInputBytes) {
            fatal(r.file, at, "the source and its includes are larger than 64 MB");
            return;
        }
        auto file = std::make_unique<File>();
        file->displayName = std::move(found.file->displayName);
        file->folder = std::move(found.file->folder);
        file->identity = std::move(found.file->identity);
        file->storage = std::move(found.file->bytes);
        file->text = file->storage;
        file->encoding = detectEncoding(file->text, options_.textNotShiftJis);
        child = file.get();
        files_.push_back(std::move(file));
        includeCache_[key] = child;
        result_.includedFiles.push_back(child->displayName);
    }
    if (!child->identity.empty()) {
        for (const File* open : includeStack_) {
            if (open->identity == child->identity) {
                error(r, at, "#include cycle: \"" + child->displayName + "\" is already being read");
                return;
            }
        }
    }
    addWork(child->text.size() + 1, r.file, at);
    if (stop_) return;
    runFile(*child, depth + 1);
}

void Compiler::checkTie(Run& r, size_t at) {
    if (!tieTrack_) return;
    Track* t = tieTrack_;
    tieTrack_ = nullptr;
    t->sounding.tied = false;
    error(r, at, "'&' must be followed by a note, found " + describeChar(r, at));
}

void Compiler::runFile(File& file, int depth) {
    includeStack_.push_back(&file);
    Run r;
    r.file = &file;
    r.s = reinterpret_cast<const unsigned char*>(file.text.data());
    r.n = file.text.size();
    if (r.n >= 3 && r.s[0] == 0xEF && r.s[1] == 0xBB && r.s[2] == 0xBF) r.pos = 3;  // UTF-8 byte order mark
    while (r.pos < r.n && !stop_) {
        const unsigned char c = r.s[r.pos];
        switch (c) {
        case '\n':
            ++r.pos;
            r.lineStart = true;
            continue;
        case ' ':
        case '\t':
        case '\r':
        case '\f':
        case '\v':
            ++r.pos;
            continue;
        case ';':
            r.pos = skipLineComment(file.text, r.pos);
            continue;
        case '/':
            if (r.pos + 1 < r.n && r.s[r.pos + 1] == '/') {
                r.pos = skipLineComment(file.text, r.pos);
                continue;
            }
            if (r.pos + 1 < r.n && r.s[r.pos + 1] == '*') {
                const size_t end = skipBlockComment(file.text, r.pos);
                if (end == std::string_view::npos) {
                    error(r, r.pos, "comment '/*' is not closed with '*/'");
                    r.pos = r.n;
                } else {
                    r.pos = end;
                }
                continue;
            }
            break;
        default:
            if (const size_t wide = wideBlankLength(file.text, r.pos, file.encoding)) {
                r.pos += wide;
                continue;
            }
            break;
        }
        const bool lineStart = r.lineStart;
        r.lineStart = false;
        const size_t at = r.pos;
        if (isLetter(c)) {
            letterCommand(r);
            continue;
        }
        checkTie(r, at);
        switch (c) {
        case '#':
            if (lineStart) {
                directive(r, depth);
            } else {
                error(r, at, "'#' starts a directive only at the beginning of a line (sharps follow the note: c#)");
                ++r.pos;
            }
            break;
        case '<':
        case '>': {
            ++r.pos;
            const bool up = (c == '>') != options_.swapOctaveArrows;
            Track& t = currentTrack();
            const int next = t.octave + (up ? 1 : -1);
            if (next < 0 || next > 9)
                error(r, at, std::string("octave ") + (up ? "above 9" : "below 0") + " (the range is o0 to o9)");
            else
                t.octave = next;
            t.lastWasNote = t.lastWasRest = false;
            break;
        }
        case '(':
        case ')': {
            ++r.pos;
            Track& t = currentTrack();
            int64_t step = kDefaultVelocityStep;
            const size_t numberAt = r.pos;
            skipBlanks(r);
            const bool hasNumber = r.pos < r.n && isDigit(r.s[r.pos]);
            r.pos = numberAt;
            if (hasNumber && !readInRange(r, at, "velocity step", 1, 127, step)) break;
            const bool louder = (c == ')') != options_.swapVelocitySteps;
            const int next = t.velocity + int(louder ? step : -step);
            t.velocity = std::clamp(next, 0, 127);
            t.lastWasNote = t.lastWasRest = false;
            break;
        }
        case '[':
            loopOpen(r, at);
            break;
        case ']':
            loopClose(r, at);
            break;
        case '|':
            loopBreak(r, at);
            break;
        case '@': {
            ++r.pos;
            int64_t program = 0;
            Track& t = currentTrack();
            if (readInRange(r, at, "'@' (program)", 1, 128, program)) emit1(t, 0xC0, uint8_t(program - 1), r.file, at);
            t.lastWasNote = t.lastWasRest = false;
            break;
        }
        case '^': {
            ++r.pos;
            Track& t = currentTrack();
            uint64_t length = 0;
            readLength(r, t.defaultLength, length);
            if (t.lastWasNote && t.sounding.active) {
                t.sounding.length += length;
                advance(t, length, r.file, at);
            } else if (t.lastWasRest || t.lastWasNote) {
                advance(t, length, r.file, at);  // a rest, or a silent (v0) note
            } else {
                error(r, at, "'^' must follow a note or a rest");
            }
            break;
        }
        case '&': {
            ++r.pos;
            Track* t = current_;
            if (!t || !t->lastWasNote) {
                error(r, at, "'&' must follow a note");
                break;
            }
            t->sounding.tied = true;
            t->lastWasNote = false;
            tieTrack_ = t;
            tieFile_ = r.file;
            tieAt_ = at;
            break;
        }
        case '"':
            skipStrayString(r);
            break;
        default:
            if (isDigit(c)) {
                error(r, at, "a number without a command before it");
                readUnsigned(r);
            } else if (c >= 0x80) {
                const auto ch = decodeCharacter(file.text, at, file.encoding);
                const char twin = ch ? halfWidthTwin(ch->codePoint) : 0;
                error(r, at, "unexpected " + describeChar(r, at) +
                                 (twin ? std::string(" (commands are half-width: '") + twin + "')"
                                       : std::string(" (text belongs in comments or quotes)")));
                r.pos += charLength(file.text, at, file.encoding);
            } else {
                error(r, at, "unknown command " + describeChar(r, at));
                ++r.pos;
            }
            break;
        }
    }
    if (!stop_) {
        for (const Loop& loop : r.loops) error(r, loop.open, "'[' is never closed with ']' in this file");
    }
    includeStack_.pop_back();
}

void Compiler::letterCommand(Run& r) {
    const size_t at = r.pos;
    if (at < r.wordRunStart || at >= r.wordRunEnd) {
        size_t end = at;
        while (end < r.n && isLetter(r.s[end])) ++end;
        r.wordRunStart = at;
        r.wordRunEnd = end;
    }
    const Word w = lookupWord(r.s + at, r.wordRunEnd - at);
    if (w != Word::None) {
        checkTie(r, at);
        r.pos = r.wordRunEnd;
        wordCommand(r, w, at);
        return;
    }
    const char c = lower(r.s[at]);
    static constexpr int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    if (c >= 'a' && c <= 'g') {
        note(r, at, kSemitone[c - 'a']);
        return;
    }
    if (c == 'n') {
        keyNote(r, at);
        return;
    }
    checkTie(r, at);
    ++r.pos;
    Track& t = currentTrack();
    int64_t value = 0;
    switch (c) {
    case 'r': {
        uint64_t length = 0;
        readLength(r, t.defaultLength, length);
        advance(t, length, r.file, at);
        t.lastWasNote = false;
        t.lastWasRest = true;
        return;
    }
    case 'l': {
        uint64_t length = 0;
        if (readLength(r, t.defaultLength, length) && r.pos == at + 1)
            error(r, at, "'l' needs a length (1 to 192, or %ticks)");
        else
            t.defaultLength = length;
        break;
    }
    case 'o':
        if (readInRange(r, at, "'o' (octave)", 0, 9, value)) t.octave = int(value);
        break;
    case 't':
        if (readInRange(r, at, "'t' (tempo)", 4, 999, value)) {
            tempo_.push_back({t.cursor, uint32_t((60'000'000 + value / 2) / value)});
        }
        break;
    case 'v': {
        skipBlanks(r);
        const bool relative = r.pos < r.n && (r.s[r.pos] == '+' || r.s[r.pos] == '-');
        if (relative) {
            if (readInRange(r, at, "'v+'/'v-' (velocity change)", -127, 127, value))
                t.velocity = std::clamp(t.velocity + int(value), 0, 127);
        } else if (readInRange(r, at, "'v' (velocity)", 0, 127, value)) {
            t.velocity = int(value);
        }
        break;
    }
    case 'q':
        if (readInRange(r, at, "'q' (gate, percent of the length)", 1, 100, value)) t.gate = int(value);
        break;
    case 'k':
        if (readInRange(r, at, "'k' (transpose)", -48, 48, value)) t.transpose = int(value);
        break;
    case 'y': {
        int64_t controller = 0;
        if (!readInRange(r, at, "'y' (control change number)", 0, 127, controller)) break;
        skipBlanks(r);
        if (r.pos >= r.n || r.s[r.pos] != ',') {
            error(r, r.pos, "'y' needs a comma and a value: y7,100");
            break;
        }
        ++r.pos;
        if (readInRange(r, at, "'y' (control change value)", 0, 127, value))
            emit2(t, 0xB0, uint8_t(controller), uint8_t(value), r.file, at);
        break;
    }
    default:
        error(r, at, "unknown command " + describeChar(r, at));
        break;
    }
    t.lastWasNote = t.lastWasRest = false;
}

void Compiler::wordCommand(Run& r, Word w, size_t at) {
    int64_t value = 0;
    if (w == Word::Track) {
        if (readInRange(r, at, "track", 1, kMaxTracks, value)) current_ = &track(int(value));
        return;
    }
    Track& t = currentTrack();
    t.lastWasNote = t.lastWasRest = false;
    switch (w) {
    case Word::Channel:
        if (readInRange(r, at, "channel", 1, 16, value)) t.channel = int(value);
        break;
    case Word::Name: {
        std::string text;
        if (readString(r, text)) {
            finishSounding(t);
            countEvent(r.file, at);
            t.out.meta(uint32_t(t.cursor), 0x03, text);
            t.used = true;
        }
        break;
    }
    case Word::Bend:
        if (readInRange(r, at, "bend", -8192, 8191, value)) {
            const int v = int(value) + 8192;
            emit2(t, 0xE0, uint8_t(v & 0x7F), uint8_t(v >> 7), r.file, at);
        }
        break;
    case Word::Transpose:
        if (readInRange(r, at, "transpose", -48, 48, value)) t.transpose = int(value);
        break;
    default: {
        const int controller = controllerOf(w);
        if (readInRange(r, at, wordName(w), 0, 127, value))
            emit2(t, 0xB0, uint8_t(controller), uint8_t(value), r.file, at);
        break;
    }
    }
}

void Compiler::note(Run& r, size_t at, int semitone) {
    ++r.pos;
    Track& t = currentTrack();
    int accidental = 0;
    while (r.pos < r.n) {
        const unsigned char c = r.s[r.pos];
        if (c == '+' || c == '#')
            ++accidental;
        else if (c == '-')
            --accidental;
        else
            break;
        ++r.pos;
    }
    uint64_t length = 0;
    readLength(r, t.defaultLength, length);
    const int key = (t.octave + 1) * 12 + semitone + accidental + t.transpose;
    if (key < 0 || key > 127) {
        error(r, at, "note out of range: key " + std::to_string(key) + " (MIDI keys are 0 to 127; check o, <, > and k)");
        if (tieTrack_ == &t) {
            tieTrack_ = nullptr;
            t.sounding.tied = false;
        }
        advance(t, length, r.file, at);  // keep the track's timing
        t.lastWasNote = false;
        t.lastWasRest = true;
        return;
    }
    play(t, key, length, r.file, at);
}

void Compiler::keyNote(Run& r, size_t at) {
    ++r.pos;
    Track& t = currentTrack();
    int64_t key = 0;
    if (!readInRange(r, at, "'n' (key number)", 0, 127, key)) {
        if (tieTrack_ == &t) {
            tieTrack_ = nullptr;
            t.sounding.tied = false;
        }
        return;
    }
    uint64_t length = t.defaultLength;
    skipBlanks(r);
    if (r.pos < r.n && r.s[r.pos] == ',') {
        ++r.pos;
        readLength(r, t.defaultLength, length);
    }
    play(t, int(key), length, r.file, at);
}

int64_t Compiler::readLoopCount(Run& r, bool quiet) {
    const size_t numAt = r.pos;
    Number num = readUnsigned(r);
    if (!num.present) return 2;
    if (num.tooLarge || num.value < 1 || num.value > kMaxLoopCount) {
        if (!quiet)
            error(r, numAt, "loop count " + (num.tooLarge ? std::string("far too large") : std::to_string(num.value)) +
                                " is out of range (1 to " + std::to_string(kMaxLoopCount) + "); the loop plays once");
        return 1;
    }
    return num.value;
}

void Compiler::loopOpen(Run& r, size_t at) {
    ++r.pos;
    if (r.loops.size() >= kMaxLoopDepth) {
        error(r, at, "loops nested more than " + std::to_string(kMaxLoopDepth) + " deep");
        ++r.ignoredOpens;
        return;
    }
    Loop loop;
    loop.open = at;
    loop.bodyStart = r.pos;
    r.loops.push_back(loop);
}

void Compiler::loopClose(Run& r, size_t at) {
    ++r.pos;
    if (r.ignoredOpens > 0) {
        --r.ignoredOpens;
        readLoopCount(r, true);
        return;
    }
    if (r.loops.empty()) {
        error(r, at, "']' without a matching '['");
        readLoopCount(r, true);
        return;
    }
    Loop& loop = r.loops.back();
    const int64_t count = readLoopCount(r, loop.pass > 0);
    if (loop.pass == 0) loop.count = count;
    ++loop.pass;
    if (loop.pass < loop.count) {
        addWork(r.pos - loop.bodyStart + kRepeatCost, r.file, at);
        r.pos = loop.bodyStart;
        return;
    }
    r.loops.pop_back();
}

void Compiler::loopBreak(Run& r, size_t at) {
    ++r.pos;
    if (r.loops.empty() || r.ignoredOpens > 0) {
        if (r.loops.empty()) error(r, at, "'|' outside a loop");
        return;
    }
    Loop& loop = r.loops.back();
    if (loop.breakAt != std::string_view::npos && loop.breakAt != at) {
        error(r, at, "a loop may hold only one '|'");
        return;
    }
    loop.breakAt = at;
    if (loop.count != 0 && loop.pass + 1 < loop.count) return;  // not the last time round
    const size_t end = findLoopEnd(r.file->text, r.pos, r.file->encoding);
    if (end == std::string_view::npos) return;  // reported as an unclosed '[' at the end
    if (loop.count == 0) {
        // First pass: the count stands after the ']' that has not been read yet.
        const size_t resume = r.pos;
        r.pos = end + 1;
        const int64_t count = readLoopCount(r, true);
        r.pos = resume;
        if (count != 1) return;
    }
    r.pos = end;  // last time round: leave the loop at its ']'
}

// ---------------------------------------------------------------- music

Track& Compiler::track(int number) {
    auto& slot = tracks_[size_t(number)];
    if (!slot) {
        slot = std::make_unique<Track>();
        slot->number = number;
        slot->channel = (number - 1) % 16 + 1;
        // Room for a few bytes per source byte, taken at once: the pages cost
        // nothing until written, and the buffer is not copied while it grows.
        slot->out.bytes().reserve(std::min<size_t>(inputBytes_ * 4 + 256, 64u << 20));
    }
    if (!current_) current_ = slot.get();
    return *slot;
}

void Compiler::countEvent(const File* file, size_t at) {
    if (++events_ > options_.maxEvents)
        fatal(file, at, "the song has more than " + std::to_string(options_.maxEvents) +
                            " MIDI events; is a loop repeated too often?");
}

void Compiler::advance(Track& t, uint64_t length, const File* file, size_t at) {
    t.cursor += length;
    t.used = true;
    if (t.cursor > kMaxTick)
        fatal(file, at, "track " + std::to_string(t.number) + " is longer than " + std::to_string(kMaxTick) +
                            " ticks, the most a MIDI file can hold");
}

// Writes the note-off of the note still sounding. Its end never lies after
// the cursor, so the track's events stay in time order.
void Compiler::finishSounding(Track& t) {
    SoundingNote& s = t.sounding;
    if (!s.active) return;
    s.active = false;
    s.tied = false;
    uint64_t length = s.legato ? s.length : s.length * uint64_t(s.gate) / 100;
    length = std::clamp<uint64_t>(length, 1, std::max<uint64_t>(s.length, 1));
    const uint64_t off = std::min<uint64_t>(s.on + length, kMaxTick);
    t.out.channel2(uint32_t(off), uint8_t(0x90 | s.channel), s.key, 0);
}

void Compiler::play(Track& t, int key, uint64_t length, const File* file, size_t at) {
    if (tieTrack_ == &t) {
        tieTrack_ = nullptr;
        SoundingNote& s = t.sounding;
        s.tied = false;
        if (s.active && s.key == key) {  // a tie: one longer note
            s.length += length;
            advance(t, length, file, at);
            t.lastWasNote = true;
            t.lastWasRest = false;
            return;
        }
        s.legato = true;  // a slur into another note
    }
    finishSounding(t);
    if (t.velocity > 0 && !stop_) {
        countEvent(file, at);
        countEvent(file, at);  // and its note-off, written later by finishSounding
        if (stop_) return;
        const uint32_t on = uint32_t(t.cursor);
        t.out.channel2(on, uint8_t(0x90 | (t.channel - 1)), uint8_t(key), uint8_t(t.velocity));
        t.sounding = SoundingNote{true, false, false, uint8_t(key), uint8_t(t.velocity), uint8_t(t.channel - 1), t.gate, on, length};
        ++t.notes;
        ++result_.noteCount;
    }
    advance(t, length, file, at);
    t.lastWasNote = true;
    t.lastWasRest = false;
}

void Compiler::emit2(Track& t, uint8_t kind, uint8_t d1, uint8_t d2, const File* file, size_t at) {
    finishSounding(t);
    countEvent(file, at);
    if (stop_) return;
    t.out.channel2(uint32_t(t.cursor), uint8_t(kind | (t.channel - 1)), d1, d2);
    t.used = true;
}

void Compiler::emit1(Track& t, uint8_t kind, uint8_t d1, const File* file, size_t at) {
    finishSounding(t);
    countEvent(file, at);
    if (stop_) return;
    t.out.channel1(uint32_t(t.cursor), uint8_t(kind | (t.channel - 1)), d1);
    t.used = true;
}

// ---------------------------------------------------------------- output

void Compiler::mergeToFormat0(SmfImage& image) {
    struct Source {
        SmfTrackCursor cursor;
        SmfEvent event;
        bool has = false;
    };
    std::vector<Source> sources;
    sources.reserve(image.tracks.size());
    for (const auto& data : image.tracks) sources.push_back({SmfTrackCursor({data.data(), data.size()}), {}, false});
    using Head = std::pair<uint32_t, size_t>;  // tick, source index: earlier tracks first on a tie
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    auto pull = [&](size_t i) {
        Source& s = sources[i];
        s.has = s.cursor.next(s.event) && !(s.event.isMeta() && s.event.metaType == 0x2F);
        if (s.has) heads.push({s.event.tick, i});
    };
    for (size_t i = 0; i < sources.size(); ++i) pull(i);
    TrackEncoder merged;
    while (!heads.empty()) {
        const size_t i = heads.top().second;
        heads.pop();
        const SmfEvent& ev = sources[i].event;
        if (ev.isMeta())
            merged.meta(ev.tick, ev.metaType, ev.payload);
        else if (ev.status == 0xF0 || ev.status == 0xF7)
            merged.sysex(ev.tick, ev.status, ev.payload);
        else if (ev.kind() == 0xC0 || ev.kind() == 0xD0)
            merged.channel1(ev.tick, ev.status, ev.data1);
        else
            merged.channel2(ev.tick, ev.status, ev.data1, ev.data2);
        pull(i);
    }
    merged.endOfTrack(result_.songTicks);
    image.tracks.clear();
    image.tracks.push_back(std::move(merged.bytes()));
    image.format = 0;
}

CompileResult Compiler::assemble() {
    std::vector<Track*> used;
    for (auto& slot : tracks_) {
        if (slot && slot->used) {
            finishSounding(*slot);
            used.push_back(slot.get());
            result_.songTicks = std::max(result_.songTicks, std::max(uint32_t(slot->cursor), slot->out.lastTick()));
        }
    }
    if (result_.errors == 0 && result_.noteCount == 0 && result_.songTicks == 0) {
        Diagnostic d;
        d.file = files_.front()->displayName;
        d.line = d.column = 1;
        d.message = "the source has no notes or rests: nothing to write";
        result_.diagnostics.push_back(std::move(d));
        ++result_.errors;
        return std::move(result_);
    }
    if (result_.errors > 0) return std::move(result_);

    std::stable_sort(tempo_.begin(), tempo_.end(),
                     [](const TempoChange& a, const TempoChange& b) { return a.tick < b.tick; });
    if (tempo_.empty() || tempo_.front().tick > 0) tempo_.insert(tempo_.begin(), TempoChange{0, 500000});

    TrackEncoder conductor;
    if (hasTitle_) conductor.meta(0, 0x03, title_);
    if (hasCopyright_) conductor.meta(0, 0x02, copyright_);
    for (const std::string& text : texts_) conductor.meta(0, 0x01, text);
    std::vector<TempoPoint> points;
    points.reserve(tempo_.size());
    for (const TempoChange& change : tempo_) {
        const char bytes[3] = {char(change.usPerQuarter >> 16), char(change.usPerQuarter >> 8), char(change.usPerQuarter)};
        conductor.meta(uint32_t(change.tick), 0x51, std::string_view(bytes, 3));
        points.push_back({uint32_t(change.tick), change.usPerQuarter});
    }
    conductor.endOfTrack(result_.songTicks);

    SmfImage& image = result_.midi;
    image.division = kTicksPerQuarter;
    image.tracks.push_back(std::move(conductor.bytes()));
    for (Track* t : used) {
        const uint32_t end = std::max(uint32_t(t->cursor), t->out.lastTick());
        t->out.endOfTrack(end);
        image.tracks.push_back(std::move(t->out.bytes()));
        result_.tracks.push_back({t->number, t->channel, end, t->notes});
    }
    if (options_.format0) mergeToFormat0(image);
    result_.lengthMs = TempoMap(kTicksPerQuarter, std::move(points)).msAt(result_.songTicks);
    if (hiddenWarnings_) {
        Diagnostic d;
        d.severity = Diagnostic::Severity::Warning;
        d.file = files_.front()->displayName;
        d.message = std::to_string(hiddenWarnings_) + " more warnings not shown";
        result_.diagnostics.push_back(std::move(d));
    }
    result_.ok = true;
    return std::move(result_);
}

CompileResult Compiler::run(const SourceText& main) {
    auto file = std::make_unique<File>();
    file->displayName = main.displayName;
    file->folder = main.folder;
    file->identity = main.identity;
    file->text = main.bytes;
    file->encoding = detectEncoding(main.bytes, options_.textNotShiftJis);
    File* root = file.get();
    files_.push_back(std::move(file));
    inputBytes_ = main.bytes.size();
    if (inputBytes_ > kMaxInputBytes) {
        fatal(root, 0, "the source is larger than 64 MB");
        return std::move(result_);
    }
    runFile(*root, 0);
    if (tieTrack_ && !stop_) {
        Diagnostic::Severity severity = options_.errorsAsWarnings ? Diagnostic::Severity::Warning : Diagnostic::Severity::Error;
        report(severity, tieFile_, tieAt_, "'&' at the end of the song has no note to tie to");
        tieTrack_->sounding.tied = false;
        tieTrack_ = nullptr;
    }
    if (stop_) return std::move(result_);
    return assemble();
}

}  // namespace

CompileResult compile(const SourceText& main, const CompileOptions& options, const IncludeLoader& loader) {
    Compiler compiler(options, loader);
    return compiler.run(main);
}

std::string formatDiagnostic(const Diagnostic& d, std::string_view fallbackFile) {
    std::string out(d.file.empty() ? fallbackFile : std::string_view(d.file));
    if (d.line > 0) {
        out += ':' + std::to_string(d.line) + ':' + std::to_string(d.column);
    }
    out += d.severity == Diagnostic::Severity::Error ? ": error: " : ": warning: ";
    out += d.message;
    return out;
}

}  // namespace zek::mml
