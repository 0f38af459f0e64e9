#pragma once
// What ZEK has staged for this user, kept as a journal in ZEK's per-user
// state folder so that it survives a crash: a file or folder is recorded
// before it is made, and a file again once it is written. Staging overwrites
// and the clean-up deletes only what the record names, so the program's own
// files and a user's "Include" folder are never touched.
#include "compile/FolderTree.h"

#include <QByteArray>
#include <QString>

#include <map>

namespace zek::compile {

class StagingRecord : public TreeWriter {
public:
    // <state home>/zek/staged
    static QString defaultFile();
    explicit StagingRecord(QString file = defaultFile());

    // True when staging made this path: a folder it created, or a file it
    // wrote that is still there unchanged.
    bool owns(const QString& path) const;

    // Creates the folder when nothing is there; an existing folder (the
    // user's or ours) may be copied into. False when the folder cannot be
    // recorded or made.
    bool makeFolder(const QString& path) override;
    // Writes `from` over `to` only when nothing is there or the file there is
    // ours. False when it was left alone or could not be recorded or copied.
    bool copyFile(const QString& from, const QString& to) override;

    // Deletes every file it owns (a read-only one resists and stays), then
    // the folders it made when they are empty, and forgets what is gone.
    void removeAll();

private:
    struct Entry {
        bool folder = false;
        QByteArray identity;  // a file as written; empty while it is being written
    };
    bool record(const QString& path, const Entry& entry);
    void load();

    QString file_;
    std::map<QString, Entry> entries_;
};

}  // namespace zek::compile
