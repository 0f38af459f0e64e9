#pragma once
// Handing files to the user's own editor: the current source, a recent file,
// or the compile log "SPICE.ERR", so the editor's tag jump finds the line.
#include "compile/CompileJob.h"

#include <QString>

#include <optional>

namespace zek::compile {

inline const QString kCompileLogName = QStringLiteral("SPICE.ERR");
inline const QString kNoEditorMessage = QStringLiteral("ｴﾃﾞｨﾀｰのﾊﾟｽが登録されていません。");
inline const QString kEditorFailedMessage = QStringLiteral("ｴﾃﾞｨﾀｰの起動に失敗しました。");
inline const QString kLogNotWrittenMessage = QStringLiteral("ｺﾝﾊﾟｲﾙ結果のﾌｧｲﾙを書き込めませんでした。");

// Writes the log in the program folder, or, when that folder cannot be
// written, in ZEK's per-user state folder. Returns the file written, or
// empty when neither could be written (an older log is never passed off as
// the current one). The file is replaced whole or not at all.
QString WriteCompileLog(const QByteArray& log, const QString& programFolder);

// Hands `file` (or, with nullopt, the compile log) to the editor. The file
// name reaches the editor as one argument, spaces and all, after the words
// of `parmeditor`.
void OpenInEditor(const settings::Settings& settings, CompileHost& host, const std::optional<QString>& file);

}  // namespace zek::compile
