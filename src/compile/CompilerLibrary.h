#pragma once
// The in-process compiler (dSakura kind): a shared library exporting
//   void GetVerInfo(char* buf)                                  (buf: 256 bytes)
//   unsigned char MMLtoMIDI(const char* source, const char* midi, char* buf)
// Owned by the main window for the life of the process.
#include "platform/SharedLibrary.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace zek::compile {

class CompilerLibrary {
public:
    static constexpr int kBufferSize = 256;
    using Buffer = char[kBufferSize];

    // Makes sure the library for this path setting is bound: the staged copy
    // (a file of the path setting's file name in `programFolder` that staging
    // made) when there is one, else the path setting itself. A different file than the one bound
    // before (another path, or the file was replaced) is bound afresh.
    // False when it cannot be loaded or lacks a function; errorText() says why.
    bool bind(const QString& pathSetting, const QString& programFolder);

    // Only after a successful bind(). The buffer ends with a NUL at its last
    // byte afterwards, whatever the library wrote.
    void getVerInfo(Buffer& buffer);
    bool mmlToMidi(const char* sourceText, const QByteArray& midiPath, Buffer& buffer);

    // Binds and asks for the version text (the buffer zero-filled first), for
    // callers that only need the version; std::nullopt when binding failed.
    std::optional<QByteArray> queryVersion(const QString& pathSetting, const QString& programFolder);

    // Unloads the library, e.g. before its staged copy is replaced or removed.
    void release();

    QString errorText() const { return error_; }
    QString boundFile() const { return library_.fileName(); }  // empty when nothing is bound

    // Where bind() loads from for this path setting.
    static QString fileToLoad(const QString& pathSetting, const QString& programFolder);

private:
    using GetVerInfoFn = void (*)(char*);
    using MmlToMidiFn = unsigned char (*)(const char*, const char*, char*);

    platform::SharedLibrary library_;
    GetVerInfoFn getVerInfo_ = nullptr;
    MmlToMidiFn mmlToMidi_ = nullptr;
    QString error_;
};

}  // namespace zek::compile
