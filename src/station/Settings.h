#pragma once

#include "platform/SafeFile.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

#include <functional>

// A small INI file: sections of key=value lines, kept in file order. Keys are matched
// without regard to case, as INI files are; unknown sections and keys are kept as they are.
// Reading takes one pass over the file and each look-up is a hash look-up.
class IniFile
{
public:
    explicit IniFile(const QString &path);

    QString path() const { return path_; }
    // False when the file cannot be read (then it is empty). A path that is not a regular
    // file (a FIFO, a device, a folder) counts as absent: it is never opened in a way that
    // could wait.
    bool load();
    // Takes the content of a whole file (what load() reads).
    void parse(const QByteArray &content);
    QByteArray serialize() const;
    // Replaces the file safely (WriteFileSafely); false, with the reason in `error`, when the
    // old file is left as it was.
    bool save(QString *error = nullptr) const;

    bool contains(const QString &section, const QString &key) const;
    QString readString(const QString &section, const QString &key, const QString &def) const;
    // An integer in decimal (optional sign); anything else gives `def`.
    int readInteger(const QString &section, const QString &key, int def) const;
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);

private:
    struct Section {
        QString name;
        QList<QPair<QString, QString>> entries;
        QHash<QString, qsizetype> index;  // folded key -> its entry
    };
    Section *find(const QString &section);
    const Section *find(const QString &section) const;
    Section &findOrAdd(const QString &section);
    const QString *value(const QString &section, const QString &key) const;

    QString path_;
    QList<Section> sections_;
    QHash<QString, qsizetype> sectionIndex_;  // folded name -> its section
};

// The station's settings: "Settings.ini" in the current working directory, section "Diving".
struct StationSettings {
    QString LastIP = QStringLiteral("This Computer");
    int Who = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;

    static QString filePath();  // taken afresh from the current working directory
};

// The settings file as the station read it when it started: read once, and kept, so that
// every write puts the station's six keys over what the file held (its other sections and
// keys stay) without reading it again. Safe from any thread.
class StationSettingsFile
{
public:
    // The first call reads "LastIP" and "Who" (a missing file or key gives the defaults, a
    // "Who" that is not an integer gives 0); later calls give what was read then.
    StationSettings read();
    // Writes "Left", "Top", "Width", "Height", "LastIP", "Who" in that order, safely. On
    // failure the old file stays, a line on standard error says so, and false is returned.
    bool write(const StationSettings &settings);

private:
    void loadOnce();  // with mutex_ held

    QMutex mutex_;
    bool loaded_ = false;
    IniFile ini_ {QString()};
    StationSettings read_;
};
