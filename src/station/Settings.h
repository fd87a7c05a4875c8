#pragma once

#include <QList>
#include <QPair>
#include <QString>

// A small INI file: sections of key=value lines, kept in file order. Keys are matched
// without regard to case, as INI files are; unknown sections and keys are kept as they are.
class IniFile
{
public:
    explicit IniFile(const QString &path);

    QString path() const { return path_; }
    bool load();  // false when the file cannot be read (then it is empty)
    bool save() const;

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
    };
    Section *find(const QString &section);
    const Section *find(const QString &section) const;
    QString path_;
    QList<Section> sections_;
};

// The station's settings file: "Settings.ini" in the current working directory, section "Diving".
struct StationSettings {
    QString LastIP = QStringLiteral("This Computer");
    int Who = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;

    static QString filePath();  // taken afresh from the current working directory
    // Reads "LastIP" and "Who"; a missing file or key gives the defaults, a "Who" that is not
    // an integer gives 0.
    static StationSettings read();
    // Writes "Left", "Top", "Width", "Height", "LastIP", "Who" in that order; false on failure.
    bool write() const;
};
