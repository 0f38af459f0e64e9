// The program's file filters as Linux file dialogs read them.
#include "ui/FileDialogs.h"

#include <QRegularExpression>
#include <QStringList>
#include <gtest/gtest.h>

using zek::ui::nameFilter;

namespace {

// The patterns of a Qt filter, matched as a case-sensitive file system does.
bool listed(const QString& filter, const QString& file) {
    const QString patterns = filter.mid(filter.lastIndexOf('(') + 1).chopped(1);
    for (const QString& p : patterns.split(' ', Qt::SkipEmptyParts))
        if (QRegularExpression::fromWildcard(p, Qt::CaseSensitive).match(file).hasMatch())
            return true;
    return false;
}

TEST(FileFilters, MasksMatchInAnyCaseAndProgramsNeedNoExtension) {
    const QString source = nameFilter("SPICEｿｰｽﾌｧｲﾙ (*.SMC;*.DSM)|*.SMC;*.DSM");
    EXPECT_TRUE(source.startsWith("SPICEｿｰｽﾌｧｲﾙ (*.SMC;*.DSM) ("));
    for (const char* file : {"song.smc", "SONG.SMC", "Song.Dsm"})
        EXPECT_TRUE(listed(source, file)) << file;
    EXPECT_FALSE(listed(source, "song.mml"));

    const QString program = nameFilter("ﾃｷｽﾄｴﾃﾞｨﾀｰ (*.EXE)|*.EXE");
    EXPECT_EQ(program, "ﾃｷｽﾄｴﾃﾞｨﾀｰ (*) (*)") << "the description names what is listed";
    EXPECT_TRUE(listed(program, "mousepad"));

    const QString library = nameFilter("MMLｺﾝﾊﾟｲﾗ (*.DLL)|*.DLL");
    EXPECT_EQ(library, "MMLｺﾝﾊﾟｲﾗ (*.so) (*.so)");
    EXPECT_TRUE(listed(library, "libzekmml.so"));
    EXPECT_FALSE(listed(library, "zekmml"));

    const QString picture = nameFilter("ｲﾒｰｼﾞﾌｧｲﾙ(*.BMP;*.JPG;*.JPEG)|*.BMP;*.JPG;*.JPEG");
    for (const char* file : {"a.bmp", "B.JPG", "c.jpeg", "d.Jpeg"})
        EXPECT_TRUE(listed(picture, file)) << file;
    EXPECT_FALSE(listed(picture, "e.png"));
    EXPECT_TRUE(listed(nameFilter("ｻｳﾝﾄﾞﾌｧｲﾙ(*.WAV)|*.WAV"), "ok.wav"));
}

}  // namespace
