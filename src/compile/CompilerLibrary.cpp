#include "compile/CompilerLibrary.h"

#include "compile/Staging.h"
#include "compile/StagingRecord.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace zek::compile {

QString CompilerLibrary::fileToLoad(const QString& pathSetting, const QString& programFolder) {
    const QString staged = StagedLibraryPath(pathSetting, programFolder);
    if (!staged.isEmpty() && StagingRecord().owns(staged))
        return QFileInfo(staged).absoluteFilePath();
    return QFileInfo(pathSetting).absoluteFilePath();
}

bool CompilerLibrary::bind(const QString& pathSetting, const QString& programFolder) {
    const QString file = fileToLoad(pathSetting, programFolder);
    if (getVerInfo_ && library_.isSameFile(file))
        return true;

    release();
    error_.clear();
    if (pathSetting.isEmpty()) {
        error_ = QStringLiteral("no library path");
        return false;
    }
    if (!library_.open(file)) {
        error_ = library_.errorText();
        return false;
    }
    auto* getVerInfo = reinterpret_cast<GetVerInfoFn>(library_.symbol("GetVerInfo"));
    auto* mmlToMidi = getVerInfo ? reinterpret_cast<MmlToMidiFn>(library_.symbol("MMLtoMIDI")) : nullptr;
    if (!getVerInfo || !mmlToMidi) {
        error_ = library_.errorText();
        library_.close();
        return false;
    }
    getVerInfo_ = getVerInfo;
    mmlToMidi_ = mmlToMidi;
    return true;
}

void CompilerLibrary::getVerInfo(Buffer& buffer) {
    if (getVerInfo_)
        getVerInfo_(buffer);
    buffer[kBufferSize - 1] = '\0';
}

bool CompilerLibrary::mmlToMidi(const char* sourceText, const QByteArray& midiPath, Buffer& buffer) {
    bool ok = false;
    if (mmlToMidi_)
        ok = mmlToMidi_(sourceText, midiPath.constData(), buffer) == 1;
    buffer[kBufferSize - 1] = '\0';
    return ok;
}

std::optional<QByteArray> CompilerLibrary::queryVersion(const QString& pathSetting, const QString& programFolder) {
    if (!bind(pathSetting, programFolder))
        return std::nullopt;
    Buffer buffer;
    std::memset(buffer, 0, sizeof buffer);
    getVerInfo(buffer);
    return QByteArray(buffer);
}

void CompilerLibrary::release() {
    library_.close();
    getVerInfo_ = nullptr;
    mmlToMidi_ = nullptr;
}

}  // namespace zek::compile
