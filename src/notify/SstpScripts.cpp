#include "notify/SstpScripts.h"

#include "notify/RandomInRange.h"

#include <array>

namespace zek::notify {
namespace {

// In these texts every backslash is the mascot's own tag character: \h, \u,
// \s0..\s6, \w8 and \n are sent as written (\n is not a line break).
constexpr std::array<const char*, SstpEventCount> kScripts = {
    // Startup1
    "\\h\\s0MMLコンパイラ支援ツール - ZEK の起動を確認しました。\\uレアなツール使っとるな。",
    // Startup2
    "\\h\\s0MMLコンパイラ支援ツール - ZEK の起動を確認しました。\\uコレ、他に使ってるヤツおるのか？",
    // Startup3
    "\\h\\s0MMLコンパイラ支援ツール - ZEK の起動を確認しました。\\u今時、MMLなんか使ってるヤツがおるとは。",
    // Exit
    "\\h\\s0MMLコンパイラ支援ツール - ZEK を終了します。\\u無難やな。",
    // MidiNotOlder
    "\\h\\s3ソースファイルよりMIDIシーケンスファイルの\\n更新日時が、同じか新しいです。",
    // Compiling
    "\\h\\s6コンパイル中です‥‥‥",
    // CompileTimedOut
    "\\h\\s2強制中断タイマーでコンパイル中止したよ。\\u何故や？",
    // CompileSucceeded
    "\\h\\s0正常にコンパイルが終了したよ。",
    // CompileFailed1
    "\\h\\s4あうぅ‥\\w8コンパイルエラー‥‥\\uダメやな。",
    // CompileFailed2
    "\\h\\s4うぐぅ‥\\w8コンパイルエラーだよ‥‥\\uタイヤキ食うか？",
    // CompileFailed3
    "\\h\\s4あれ？\\w8コンパイルエラーみたい‥‥\\uしっかりせい。",
    // PlaybackFailed
    "\\h\\s4演奏に失敗したよ‥‥\\uコンパイル上手くいってないやないか？",
};

}  // namespace

QString SstpScript(SstpEvent event) {
    const int index = static_cast<int>(event);
    if (index < 0 || index >= SstpEventCount)
        return {};
    return QString::fromUtf8(kScripts[static_cast<size_t>(index)]);
}

SstpEvent StartupEvent(int roll) {
    switch (roll) {
    case 1:
        return SstpEvent::Startup1;
    case 2:
        return SstpEvent::Startup2;
    default:
        return SstpEvent::Startup3;
    }
}

SstpEvent CompileFailedEvent(int roll) {
    switch (roll) {
    case 1:
        return SstpEvent::CompileFailed1;
    case 2:
        return SstpEvent::CompileFailed2;
    default:
        return SstpEvent::CompileFailed3;
    }
}

QString StartupScript() {
    return SstpScript(StartupEvent(RandomInRange(1, 5)));
}

QString CompileFailedScript() {
    return SstpScript(CompileFailedEvent(RandomInRange(1, 10)));
}

}  // namespace zek::notify
